// Fuzz target: reading a set file. Any bytes must load without harm; a key set afterwards must
// read back as written after a save and a reload, and must not disturb another key.

#include <cstdint>
#include <string>

#include "platform/profile_string.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldra;
  const std::string& folder = fuzz::ScratchFolder();
  const std::string path = folder + "set.ini";
  fuzz::WriteScratchFile(path, data, size);

  IniDocument doc;
  doc.Load(path);
  for (const char* key : {"TEXT1(0)", "TEXT1(5)", "Check2", "DIR(0)", "LIST2"}) {
    const std::string value = doc.Get("MAIN", key);
    FUZZ_CHECK(value.find('\n') == std::string::npos);
  }
  const std::string other_before = doc.Get("MAIN", "LIST2");
  doc.Set("MAIN", "TEXT1(5)", "ページ index.htm");
  const std::string saved = folder + "saved.ini";
  FUZZ_CHECK(doc.Save(saved));

  IniDocument again;
  FUZZ_CHECK(again.Load(saved));
  FUZZ_CHECK(again.Get("MAIN", "TEXT1(5)") == "ページ index.htm");
  FUZZ_CHECK(again.Get("MAIN", "LIST2") == other_before);
  return 0;
}
