#pragma once
// Progress of a batch run on standard error: a bar redrawn in place on a terminal, plain lines
// where asked for (--progress), nothing otherwise (cron mail and the journal get the notice only).

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/run.h"

namespace veldra {

enum class ProgressStyle { kNone, kBar, kLines };

// --quiet wins; a terminal gets the bar; elsewhere plain lines only when asked for.
ProgressStyle ChooseProgressStyle(bool quiet, bool progress_asked, bool stream_is_terminal);

struct ProgressCounts {
  size_t folders_listed = 0;  // folders the walk has listed so far
  size_t folders_found = 0;   // folders it knows of: the root and every sub-folder listed
  size_t pages_written = 0;
};

// One line of the bar, cut to width columns: a bar of folders listed against found, the counts,
// pages per second and the elapsed time ("m:ss").
std::string FormatProgressBar(const ProgressCounts& counts, double elapsed_seconds, size_t width);

// A plain progress line (no line end).
std::string FormatProgressLine(const ProgressCounts& counts, double elapsed_seconds);

// Draws the progress of a run on stream in the given style. The bar is redrawn at most ten times
// a second and once more, complete, by Finish, which also ends its line so that the notice
// starts on a line of its own.
class ProgressPrinter final : public RunObserver {
 public:
  ProgressPrinter(ProgressStyle style, std::FILE* stream);

  void FolderStarted(const std::string& folder) override;
  void WalkProgress(size_t folders_found, size_t folders_done) override;
  void PageWritten(const std::string& folder, size_t pages_written) override;
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  double Elapsed() const;
  void DrawBar(bool force);

  const ProgressStyle style_;
  std::FILE* const stream_;
  const Clock::time_point start_;
  Clock::time_point last_draw_{};
  bool drawn_ = false;
  ProgressCounts counts_;
};

}  // namespace veldra
