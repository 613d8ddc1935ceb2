#pragma once
// What every page of a run reads, and the buffer a page is built in before it is written.

#include <string>
#include <string_view>
#include <utility>

#include "engine/run_context.h"
#include "engine/run_control.h"
#include "engine/run_tuning.h"
#include "platform/cp932.h"
#include "platform/local_time.h"
#include "platform/text_file.h"

namespace veldra {

class ReadPool;

// The run's prepared values, the settings as the run started, and the clock of the date line.
struct PageContext {
  const RunContext& run;
  const EnvironmentSet& set;
  const Clock& clock;
  const RunControl* control = nullptr;  // stop requests and test pause points; may be null
  RunTuning tuning = {};
  ReadPool* reads = nullptr;  // the run's reader threads; null: tags are read inline
};

// A page being built in memory: UTF-8 lines in, CP932 bytes with CR LF out. Characters CP932
// lacks become numeric character references.
class PageBuffer {
 public:
  void AddLine(std::string_view utf8_line) {
    AppendCp932Line(bytes_, utf8_line, Cp932Escape::kHtml);
  }
  // Adds a line whose middle part is the date-time text of a date line, remembering where that
  // text lies: a page left alone when unchanged (SKIPSAME) is compared without it.
  void AddDateLine(std::string_view before, std::string_view date_time, std::string_view after) {
    AppendCp932(bytes_, before, Cp932Escape::kHtml);
    date_time_.begin = bytes_.size();
    AppendCp932(bytes_, date_time, Cp932Escape::kHtml);
    date_time_.end = bytes_.size();
    AppendCp932Line(bytes_, after, Cp932Escape::kHtml);
  }
  // Where the date-time text of the date line lies (empty when the page has none).
  ByteSpan date_time() const { return date_time_; }
  const std::string& bytes() const { return bytes_; }
  // The page's bytes, for writers that append CP932 text themselves (RowWriter).
  std::string& cp932() { return bytes_; }
  // Appends bytes another buffer built.
  void Append(std::string_view cp932_bytes) { bytes_ += cp932_bytes; }
  // Hands the bytes over without copying them (a page can run to tens of megabytes).
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
  ByteSpan date_time_;
};

}  // namespace veldra
