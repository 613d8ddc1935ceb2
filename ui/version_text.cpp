#include "ui/version_text.h"

#include "platform/program_info.h"

namespace veldra {

std::string VersionText(std::string_view program_name) {
  std::string text(program_name);
  text += " Build " + std::to_string(kProgramVersion.major) + "." +
          std::to_string(kProgramVersion.minor) + "." + std::to_string(kProgramVersion.revision);
  text += "\nCopyright (C) 2026 VELDRA mp3+ developers";
  text += "\n";
  text += "\nフォルダごとにファイル一覧のHTMLページを作ります";
  return text;
}

}  // namespace veldra
