#pragma once
// How a run spreads its work over threads, in one place. The defaults are what the benchmarks
// (bench/) settled on; tests set their own counts to check that pages never depend on them.
// A count of 0 means the work is done inline, on the thread that asks for it.

#include <cstddef>

namespace veldra {

struct RunTuning {
  // Threads that build and write pages beside the walk (replacing a file waits for the disk to
  // free the old one's blocks), and the pages that may wait for them, which bounds memory.
  size_t writer_threads = 2;
  size_t max_queued_pages = 16;
  // Threads that delete the old pages and snapshots the writers set aside, and the folders whose
  // old files may wait for them (bounding memory, and the hidden files a killed run leaves for
  // the next one to remove when the disk frees slowly).
  size_t remover_threads = 2;
  size_t max_queued_asides = 64;
  // A folder with more files than this has its file rows built in row_parts parts side by side
  // (the building thread takes one, each other part gets a thread of its own).
  size_t split_files_over = 8192;
  size_t row_parts = 2;
  // Threads that wait for tag reads the page cache cannot serve at once, shared by every page of
  // the run, so that the disk gets many reads at a time.
  size_t read_threads = 32;
  // Threads that list and stat folders ahead of the walk once a folder's listing took longer
  // than list_ahead_after_us microseconds (the disk is cold), and how many folders may wait for
  // them. 0 microseconds lists every folder ahead (tests). A warm folder of a few dozen entries
  // lists in well under the threshold; a folder listed ahead without need costs a listing on
  // another thread, no more.
  size_t list_ahead_threads = 8;
  size_t list_ahead_waiting = 4096;
  size_t list_ahead_after_us = 200;
};

}  // namespace veldra
