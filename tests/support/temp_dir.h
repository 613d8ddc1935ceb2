#pragma once
// A fresh temporary folder per test, removed with everything in it at the end.

#include <string>

namespace veldra::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, ending with the separator.
  const std::string& path() const { return path_; }
  // path() + relative.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

// Writes bytes to a file (creating parent folders), and reads a file's bytes ("" when missing).
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeFolders(const std::string& path);

// Path of a committed fixture below tests/data.
std::string TestDataPath(const std::string& relative);

}  // namespace veldra::test
