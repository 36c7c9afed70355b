// FolderPart on arbitrary text: the result is what stands before the last
// separator of the part before the first "|", the opening double quote left
// out, and it ends in that separator.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/read_run_options.h"

namespace {

std::string Reference(const std::string& path) {
  const std::string body = !path.empty() && path[0] == '"' ? path.substr(1) : path;
  const std::string scanned = body.substr(0, body.find('|'));
  const std::size_t last = scanned.find_last_of("\\/");
  return last == std::string::npos ? std::string() : scanned.substr(0, last + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string got = zavero::FolderPart(path);
  if (got != Reference(path)) std::abort();
  // Properties that hold whatever the reference says.
  const std::size_t begin = !path.empty() && path[0] == '"' ? 1 : 0;
  if (path.compare(begin, got.size(), got) != 0) std::abort();
  if (!got.empty() && got.back() != '\\' && got.back() != '/') std::abort();
  if (got.find('|') != std::string::npos) std::abort();
  return 0;
}
