#include "app/cli_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace veldra {
namespace {

constexpr size_t kBarCells = 20;
constexpr size_t kDefaultWidth = 80;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Elapsed(double seconds) {
  const auto whole = static_cast<long long>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

std::string Rate(const ProgressCounts& counts, double seconds) {
  if (seconds < 0.05) return "- pages/s";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f pages/s",
                static_cast<double>(counts.pages_written) / seconds);
  return text;
}

size_t TerminalWidth(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultWidth;
}

}  // namespace

ProgressStyle ChooseProgressStyle(bool quiet, bool progress_asked, bool stream_is_terminal) {
  if (quiet) return ProgressStyle::kNone;
  if (stream_is_terminal) return ProgressStyle::kBar;
  return progress_asked ? ProgressStyle::kLines : ProgressStyle::kNone;
}

std::string FormatProgressBar(const ProgressCounts& counts, double elapsed_seconds, size_t width) {
  const size_t found = std::max(counts.folders_found, counts.folders_listed);
  const size_t filled = found == 0 ? 0 : counts.folders_listed * kBarCells / found;
  std::string line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "] ";
  line += std::to_string(counts.folders_listed) + "/" + std::to_string(found) + " folders  ";
  line += std::to_string(counts.pages_written) + " pages  ";
  line += Rate(counts, elapsed_seconds) + "  " + Elapsed(elapsed_seconds);
  // One column stays free: a line that fills the last column wraps on some terminals.
  if (width > 0 && line.size() >= width) line.resize(width - 1);
  return line;
}

std::string FormatProgressLine(const ProgressCounts& counts, double elapsed_seconds) {
  return "VELDRA-cli: " + std::to_string(counts.pages_written) + " pages written, " +
         std::to_string(counts.folders_listed) + " of " +
         std::to_string(std::max(counts.folders_found, counts.folders_listed)) +
         " folders listed, " + Elapsed(elapsed_seconds);
}

ProgressPrinter::ProgressPrinter(ProgressStyle style, std::FILE* stream)
    : style_(style), stream_(stream), start_(Clock::now()) {
  counts_.folders_found = 1;  // the root folder
}

double ProgressPrinter::Elapsed() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void ProgressPrinter::FolderStarted(const std::string& /*folder*/) {
  ++counts_.folders_listed;
  DrawBar(false);
}

void ProgressPrinter::WalkProgress(size_t folders_found, size_t /*folders_done*/) {
  counts_.folders_found = folders_found;
  DrawBar(false);
}

void ProgressPrinter::PageWritten(const std::string& /*folder*/, size_t pages_written) {
  counts_.pages_written = pages_written;
  // One line per hundred pages: a tree of ten thousand folders gives a hundred lines.
  if (style_ == ProgressStyle::kLines && pages_written % 100 == 0) {
    std::fprintf(stream_, "%s\n", FormatProgressLine(counts_, Elapsed()).c_str());
    std::fflush(stream_);
  }
  DrawBar(false);
}

void ProgressPrinter::Finish() {
  if (style_ == ProgressStyle::kBar) {
    DrawBar(true);
    std::fputc('\n', stream_);
    std::fflush(stream_);
  } else if (style_ == ProgressStyle::kLines) {
    std::fprintf(stream_, "%s\n", FormatProgressLine(counts_, Elapsed()).c_str());
    std::fflush(stream_);
  }
}

void ProgressPrinter::DrawBar(bool force) {
  if (style_ != ProgressStyle::kBar) return;
  const Clock::time_point now = Clock::now();
  if (!force && drawn_ && now - last_draw_ < kRedrawEvery) return;
  drawn_ = true;
  last_draw_ = now;
  // Back to the line's start, the new state, and clear what a longer old state left.
  const std::string line =
      "\r" + FormatProgressBar(counts_, Elapsed(), TerminalWidth(stream_)) + "\x1b[K";
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fflush(stream_);
}

}  // namespace veldra
