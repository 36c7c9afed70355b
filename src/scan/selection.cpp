#include "scan/selection.h"

#include <cstring>

namespace zavero {

void JoinPathInto(std::string& out, const std::string& folder, const char* name, char separator) {
  out.assign(folder);
  if (out.empty() || out.back() != separator) out += separator;
  out.append(name);
}

std::string JoinPath(const std::string& folder, const char* name, char separator) {
  std::string path;
  JoinPathInto(path, folder, name, separator);
  return path;
}

}  // namespace zavero
