#include "scan/selection.h"

#include <cstring>

namespace zavero {

void JoinPathInto(std::string& out, const std::string& folder, const char* name) {
  out.assign(folder);
  if (out.empty() || out.back() != '\\') out += '\\';
  out.append(name);
}

std::string JoinPath(const std::string& folder, const char* name) {
  std::string path;
  JoinPathInto(path, folder, name);
  return path;
}

}  // namespace zavero
