// A pattern and a name (split at the first zero byte) against a matcher
// written from the rules: "*" takes any run of bytes, "?" exactly one
// character (a byte and the UTF-8 continuation bytes after it); any other
// byte matches itself, ASCII letters without case; "*.*" matches every name.
// A table of every (pattern suffix, name suffix) pair, so no input is slow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/name_pattern.h"

namespace {

std::size_t NextCharacter(const std::string& s, std::size_t at) {
  for (++at; at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;) ++at;
  return at;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Reference(const std::string& p, const std::string& n) {
  if (p == "*.*") return true;
  // from[i][j]: the pattern from byte i matches the name from byte j.
  std::vector<std::vector<char>> from(p.size() + 1, std::vector<char>(n.size() + 1, 0));
  from[p.size()][n.size()] = 1;
  for (std::size_t i = p.size(); i-- > 0;)
    for (std::size_t j = n.size() + 1; j-- > 0;) {
      const bool more = j < n.size();
      if (p[i] == '*')
        from[i][j] = from[i + 1][j] || (more && from[i][j + 1]);
      else if (p[i] == '?')
        from[i][j] = more && from[i + 1][NextCharacter(n, j)];
      else
        from[i][j] = more && Fold(p[i]) == Fold(n[j]) && from[i + 1][j + 1];
    }
  return from[0][0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  if (split == std::string::npos || size > 512) return 0;
  const std::string pattern = input.substr(0, split);
  const std::string name = input.substr(split + 1).c_str();
  if (zavero::platform::MatchesNamePattern(pattern.c_str(), name.c_str()) !=
      Reference(pattern, name))
    std::abort();
  return 0;
}
