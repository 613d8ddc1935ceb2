#include "platform/file_name.h"

namespace veldra {

std::string StripExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::string(name);
  std::string_view stem = name.substr(0, dot);
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  return std::string(stem);
}

}  // namespace veldra
