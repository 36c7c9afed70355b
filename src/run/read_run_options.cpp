#include "run/read_run_options.h"

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

std::string FolderPart(const std::string& path, char separator) {
  const bool both = separator == '\\';
  std::size_t begin = !path.empty() && path[0] == '"' ? 1 : 0;
  std::size_t cut = begin;
  for (std::size_t i = begin; i < path.size() && path[i] != '|'; ++i)
    if (path[i] == separator || (both && path[i] == '/')) cut = i + 1;
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
  } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    // The C notation, which the attribute bits are commonly written in.
    base = 16;
    p += 2;
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

std::string RunParameterOfProcess(platform::Process& process, int index) {
  const char* const* argv = process.ArgumentVector();
  if (argv == nullptr) return GetRunParameter(process.CommandLine(), index);
  if (index < 0 || argv[0] == nullptr) return {};
  for (int i = 1; argv[i] != nullptr; ++i)
    if (i == index + 1) return argv[i];
  return {};
}

UnixOptions ReadUnixOptions(const char* const* argv) {
  UnixOptions options;
  if (argv == nullptr || argv[0] == nullptr || argv[1] == nullptr || argv[1][0] != '-')
    return options;
  const std::string option = argv[1];
  if (option == "--") {
    options.FirstParameter = 2;
  } else if (option == "--version" || option == "-V") {
    options.Request = OptionRequest::Version;
  } else if (option == "--help" || option == "-h") {
    options.Request = OptionRequest::Help;
  } else {
    options.Request = OptionRequest::UnknownOption;
    options.Option = option;
  }
  return options;
}

OptionRequest ReadWindowsOption(const RunParameters& parameters) {
  for (std::size_t i = 1; i < parameters.size(); ++i)
    if (!parameters[i].empty()) return OptionRequest::Run;
  const std::string& first = parameters[0];
  if (first == "/?" || first == "-?" || first == "-h" || first == "--help")
    return OptionRequest::Help;
  if (first == "-V" || first == "--version") return OptionRequest::Version;
  return OptionRequest::Run;
}

RunOptions ReadRunOptions(platform::Process& process) {
  return ReadRunOptions(process, platform::Conventions{});
}

RunOptions ReadRunOptions(platform::Process& process, const platform::Conventions& conventions) {
  return RunOptionsFrom(ReadRunParameters(process, conventions), process, conventions);
}

RunParameters ReadRunParameters(platform::Process& process,
                                const platform::Conventions& conventions) {
  RunParameters parameters;
  if (process.ArgumentVector() == nullptr) {
    const char* line = process.CommandLine();
    for (int i = 0; i < 8; ++i) parameters[i] = GetRunParameter(line, i);
  } else {
    // The options a Unix-style run read before the parameters are no parameters.
    const int skipped = conventions.UnixRun
                            ? ReadUnixOptions(process.ArgumentVector()).FirstParameter - 1
                            : 0;
    for (int i = 0; i < 8; ++i) parameters[i] = RunParameterOfProcess(process, i + skipped);
  }
  return parameters;
}

RunOptions RunOptionsFrom(const RunParameters& parameters, platform::Process& process,
                          const platform::Conventions& conventions) {
  RunOptions o;
  o.Mode = parameters[0];
  o.LogPath = parameters[1];
  // A portable exe keeps a bare log name beside itself; an installed Unix
  // program would write into its own system folder, so there the name stays
  // relative to the current folder, as every Unix tool takes it.
  if (!o.LogPath.empty() && !conventions.UnixRun &&
      FolderPart(o.LogPath, conventions.Separator).empty())
    o.LogPath = GetProgramFolder(process) + o.LogPath;
  o.StartFolder = parameters[2];
  // One character names no Windows folder, but "." and "/" are Unix ones.
  if (!conventions.UnixRun && o.StartFolder.size() < 2) o.StartFolder.clear();
  o.Pattern = parameters[3];
  if (o.Pattern.empty()) o.Pattern = "*";
  o.SelectFolders = NumberParameter(parameters[4], 1);
  o.SelectFiles = NumberParameter(parameters[5], 1);
  o.SkipMask = NumberParameter(parameters[6], 4);
  o.IncludeMask = NumberParameter(parameters[7], 2);
  return o;
}

}  // namespace zavero
