#pragma once
// Whole-file reads, line splitting and crash-safe file replacement.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/file_system.h"

namespace veldra {

// Reads a whole file. False (and err filled when given) when it cannot be opened or read; errno
// then tells why.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* err = nullptr);

// Splits text into lines: CR LF or a lone LF ends a line and is not part of it; a last line
// without an end is a line; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// Reads a CP932 text file into UTF-8 lines (DecodeCp932 with the given escape).
bool ReadTextLines(const std::string& path, Cp932Escape escape, std::vector<std::string>& lines,
                   std::string* err = nullptr);

// Appends one UTF-8 line to a CP932 buffer, followed by CR LF.
void AppendCp932Line(std::string& out, std::string_view utf8_line, Cp932Escape escape);

// Creates a file that must not exist yet (O_EXCL) and writes the bytes. False when the file
// exists or cannot be written; an existing file is never touched.
bool CreateNewFile(const std::string& path, std::string_view bytes, std::string* err = nullptr);

// Replaces (or creates) a file so that readers and a crash at any point see either the old or the
// new content, never a mix: the bytes go to a temporary file in the same folder, which is then
// renamed over the target. The new file keeps the old file's permission bits, or 0666 less the
// umask for a new one. On failure the old file is untouched and no temporary file is left.
// A link at path is replaced behind it, at the file it leads to: for the operator's own files
// only (the set file in the program folder), never for files in the published tree.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* err = nullptr);

// Within a folder of the published tree or the output folder, through a handle on the folder:
// nothing here follows a link at the name, so our own files are never written, read or removed
// through one.

// Replaces the entry `name` of the folder dir_fd with a regular file holding bytes, whatever the
// entry is (a file, a link, a FIFO: the entry itself is replaced, never what it leads to); a
// folder holding the name is left alone and the call fails (EISDIR). The bytes go to a new
// hidden temporary name (O_EXCL|O_NOFOLLOW) renamed over the entry, so a crash leaves the old or
// the new content. The file gets 0666 less the umask, whatever the old one had. With aside, an
// old regular file first gets a second hidden name, returned there for the caller to delete
// later. written (when given) receives the new file's identity. On failure errno tells why.
bool ReplaceFileAt(int dir_fd, const std::string& name, std::string_view bytes,
                   std::string* aside = nullptr, FileIdentity* written = nullptr,
                   std::string* err = nullptr);

// Removes the entry `name` (the entry itself, never a link's target); with aside, a regular file
// is renamed to a hidden name returned there instead. A folder holding the name is left alone.
// True when no file holds the name afterwards; false when it cannot be removed.
bool RemoveFileAt(int dir_fd, const std::string& name, std::string* aside = nullptr);

enum class RegularReadResult { kRead, kMissing, kNotRegular, kError };

// Reads a regular file of the folder without following a link at the name and without blocking
// (a FIFO or device is kNotRegular, never waited for). At most cap bytes are read: a longer file
// gives its first cap bytes (truncated set). With expected, a file whose identity differs is
// kNotRegular. The size is checked before any memory is reserved.
RegularReadResult ReadRegularFileAt(int dir_fd, const std::string& name, size_t cap,
                                    std::string& bytes, bool* truncated = nullptr,
                                    const FileIdentity* expected = nullptr);

// A part of a file's bytes, [begin, end); empty when begin == end.
struct ByteSpan {
  size_t begin = 0;
  size_t end = 0;
  bool empty() const { return begin >= end; }
};

// The longest text an old file may hold in place of an ignored span.
inline constexpr size_t kIgnoredSpanMax = 64;

// True when the entry `name` of the folder dir_fd already holds `bytes`, so that a replace can
// leave it alone: a regular file (a link at the name is not followed and never counts), owned by
// the running user, with exactly the mode a replace gives (0666 less the umask), whose content
// equals bytes. With a non-empty `ignored` span of bytes (the date-time text of a date line),
// the old file may hold any other text of at most kIgnoredSpanMax bytes without a line break
// there; every other byte must be equal. The file is opened without blocking and never read
// beyond the size that could match. identity (when given) receives the old file's identity.
bool HoldsSameBytesAt(int dir_fd, const std::string& name, std::string_view bytes,
                      ByteSpan ignored = {}, FileIdentity* identity = nullptr);

// True when a file of this owner and mode (its permission bits) is one a replace of ours
// leaves: owned by the running user, with exactly 0666 less the umask.
bool HasOurReplaceMode(uint32_t owner, uint32_t mode);

// The identity fstat gives for an open file.
FileIdentity IdentityOf(int fd);

// The temporary and set-aside names a replace of target makes: "." + target (cut to 200 bytes)
// + ".tmp-" + 8 characters of [0-9a-z] made from draw (random for files on disk).
std::string TemporaryNameOf(std::string_view target, uint64_t draw);

// True when name is a name TemporaryNameOf makes for target.
bool IsTemporaryNameOf(std::string_view name, std::string_view target);

// The target (as cut) a temporary name was made for; "" when name has not that form.
std::string_view TemporaryNameTarget(std::string_view name);

}  // namespace veldra
