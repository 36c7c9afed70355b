#include "run/run_options.h"

namespace zavero {

std::string GetRunParameter(const char* commandLine, int index) {
  if (!commandLine || index < 0) return {};
  const char* p = commandLine;
  int token = 0;
  const int wanted = index + 1;  // token 0 is the program's own name
  while (true) {
    while (*p == ' ') ++p;
    if (*p == 0) return {};
    const char* start;
    const char* end;
    if (*p == '"') {
      start = ++p;
      while (*p && *p != '"') ++p;
      end = p;
      if (*p == '"') ++p;  // the next character starts a new token, blank or not
    } else {
      start = p;
      while (*p && *p != ' ') ++p;
      end = p;
    }
    if (token == wanted) return std::string(start, end);
    ++token;
  }
}

std::string FolderPart(const std::string& path) {
  std::size_t begin = !path.empty() && path[0] == '"' ? 1 : 0;
  std::size_t cut = begin;
  for (std::size_t i = begin; i < path.size() && path[i] != '|'; ++i)
    if (path[i] == '\\' || path[i] == '/') cut = i + 1;
  return path.substr(begin, cut - begin);
}

std::string GetProgramFolder(platform::Process& process) {
  char buffer[261] = {};
  process.ModuleFileName(buffer, 260);
  std::string name = buffer;
  if (name.compare(0, 4, "\\\\?\\") == 0) name.erase(0, 4);
  std::string folder = FolderPart(name);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::int64_t ParseNumber(const char* text) {
  if (!text) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  unsigned base = 10;
  if (*p == '$') {
    base = 16;
    ++p;
  } else if (*p == '%') {
    base = 2;
    ++p;
  }
  // Unsigned arithmetic: overflow wraps modulo 2^64 without undefined behaviour.
  std::uint64_t value = 0;
  for (;; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  if (negative) value = 0 - value;
  return static_cast<std::int64_t>(value);
}

namespace {

// A numeric parameter: the default when empty, else the low 32 bits.
std::int32_t NumberParameter(const std::string& text, std::int32_t fallback) {
  if (text.empty()) return fallback;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ParseNumber(text.c_str())));
}

}  // namespace

RunOptions ReadRunOptions(platform::Process& process) {
  const char* line = process.CommandLine();
  RunOptions o;
  o.Mode = GetRunParameter(line, 0);
  o.LogPath = GetRunParameter(line, 1);
  if (!o.LogPath.empty() && FolderPart(o.LogPath).empty())
    o.LogPath = GetProgramFolder(process) + o.LogPath;
  o.StartFolder = GetRunParameter(line, 2);
  if (o.StartFolder.size() < 2) o.StartFolder.clear();
  o.Pattern = GetRunParameter(line, 3);
  if (o.Pattern.empty()) o.Pattern = "*";
  o.SelectFolders = NumberParameter(GetRunParameter(line, 4), 1);
  o.SelectFiles = NumberParameter(GetRunParameter(line, 5), 1);
  o.SkipMask = NumberParameter(GetRunParameter(line, 6), 4);
  o.IncludeMask = NumberParameter(GetRunParameter(line, 7), 2);
  return o;
}

}  // namespace zavero
