// Runs one area's Qt Test class (first argument: its class name), all of them without an
// argument, or renders the tabs to PNG files with "--screenshots DIR".

#include <QApplication>
#include <cstring>
#include <vector>

namespace veldra::test {
int RunWindowTest(int argc, char** argv);
int RunRunTest(int argc, char** argv);
int RunSetsTest(int argc, char** argv);
int RunColumnChooserTest(int argc, char** argv);
int RunBrowseTest(int argc, char** argv);
int RunFocusTest(int argc, char** argv);
int RunPickerLanguageTest(int argc, char** argv);
int RenderScreenshots(const char* folder);
}  // namespace veldra::test

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace veldra::test;
  if (argc == 3 && std::strcmp(argv[1], "--screenshots") == 0) return RenderScreenshots(argv[2]);

  const struct {
    const char* name;
    int (*run)(int, char**);
  } areas[] = {{"WindowTest", RunWindowTest},
               {"RunTest", RunRunTest},
               {"SetsTest", RunSetsTest},
               {"ColumnChooserTest", RunColumnChooserTest},
               {"BrowseTest", RunBrowseTest},
               {"FocusTest", RunFocusTest},
               {"PickerLanguageTest", RunPickerLanguageTest}};
  const char* chosen = argc >= 2 && argv[1][0] != '-' ? argv[1] : nullptr;
  // Qt Test sees the program name and whatever follows the area's name.
  std::vector<char*> args{argv[0]};
  for (int i = chosen != nullptr ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);
  const int count = static_cast<int>(args.size());

  int failures = 0;
  bool found = false;
  for (const auto& area : areas) {
    if (chosen != nullptr && std::strcmp(chosen, area.name) != 0) continue;
    found = true;
    failures += area.run(count, args.data());
  }
  if (!found) {
    qWarning("unknown test area %s", chosen);
    return 64;
  }
  return failures;
}
