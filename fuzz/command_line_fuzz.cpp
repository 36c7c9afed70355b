// ReadRunOptions on an arbitrary command line (and module file name), on the
// fake machine. The parameters are checked against a splitter written here
// from the quoting rules, and every field against the rule that makes it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "fake/fake_process.h"
#include "run/read_run_options.h"

namespace {

// Blanks separate; a token that opens with a double quote runs to the next
// one (or the end) and the character after it starts the next token; any
// other token runs to the next blank. The first token is the program's name.
std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && line[i] == ' ') ++i;
    if (i == n) return tokens;
    if (line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string::npos) {
        tokens.push_back(line.substr(i + 1));
        return tokens;
      }
      tokens.push_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const std::size_t end = std::min(line.find(' ', i), n);
      tokens.push_back(line.substr(i, end - i));
      i = end;
    }
  }
}

std::string FolderOf(const std::string& path) {
  const std::string body = !path.empty() && path[0] == '"' ? path.substr(1) : path;
  const std::string scanned = body.substr(0, body.find('|'));
  const std::size_t last = scanned.find_last_of("\\/");
  return last == std::string::npos ? std::string() : scanned.substr(0, last + 1);
}

std::int32_t Numeric(const std::string& text, std::int32_t fallback) {
  if (text.empty()) return fallback;
  const auto value = static_cast<std::uint64_t>(zavero::ParseNumber(text.c_str()));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The command line, then (after a zero byte) the program's own file name.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string line = input.substr(0, cut);
  std::string module = "C:\\Tools\\zavero.exe";
  if (cut != std::string::npos) {
    const std::string rest = input.substr(cut + 1);
    module = rest.substr(0, rest.find('\0'));
  }

  zavero::fake::CallLog calls;
  zavero::fake::FakeProcess process(calls);
  process.CommandLineText = line;
  process.ModuleFileNameText = module;
  const zavero::RunOptions o = zavero::ReadRunOptions(process);

  const std::vector<std::string> tokens = Tokens(line);
  std::vector<std::string> p(8);
  for (std::size_t i = 0; i < 8; ++i) p[i] = i + 1 < tokens.size() ? tokens[i + 1] : std::string();
  for (std::size_t i = 0; i < tokens.size() + 2; ++i) {
    const std::string want = i + 1 < tokens.size() ? tokens[i + 1] : std::string();
    Require(zavero::GetRunParameter(line.c_str(), static_cast<int>(i)) == want);
  }
  Require(zavero::GetRunParameter(line.c_str(), -1).empty());

  Require(o.Mode == p[0]);
  if (p[1].empty()) {
    Require(o.LogPath.empty());
  } else if (!FolderOf(p[1]).empty()) {
    Require(o.LogPath == p[1]);
  } else {
    // GetModuleFileNameA keeps 259 characters of the name in a 260 buffer.
    std::string name = module.substr(0, 259);
    if (name.compare(0, 4, "\\\\?\\") == 0) name.erase(0, 4);
    std::string folder = FolderOf(name);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    Require(o.LogPath == folder + p[1]);
  }
  Require(o.StartFolder.empty() || o.StartFolder.size() >= 2);
  Require(o.StartFolder == (p[2].size() < 2 ? std::string() : p[2]));
  Require(!o.Pattern.empty());
  Require(o.Pattern == (p[3].empty() ? std::string("*") : p[3]));
  Require(o.SelectFolders == Numeric(p[4], 1));
  Require(o.SelectFiles == Numeric(p[5], 1));
  Require(o.SkipMask == Numeric(p[6], 4));
  Require(o.IncludeMask == Numeric(p[7], 2));
  return 0;
}
