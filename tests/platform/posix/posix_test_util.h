// Helpers for the tests of the POSIX side on real files: a scratch folder,
// and the attr tools (setfattr, getfattr) as the independent witness of
// what is on disk.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zavero::testing {

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `command` with sh; its standard output. *status gets the exit status.
inline std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int raw = pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

inline std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0xF];
  }
  return hex;
}

// Sets the extended attribute with setfattr (the link itself, never its target).
inline bool SetXattr(const std::string& path, const std::string& name, const std::string& bytes) {
  int status = 0;
  Shell("setfattr -h -n " + name + " -v 0x" + Hex(bytes) + " " + Quote(path) + " 2>&1", &status);
  return status == 0;
}

// The value as getfattr shows it, in hex without "0x"; "" when there is none.
inline std::string GetXattrHex(const std::string& path, const std::string& name) {
  const std::string out =
      Shell("getfattr -h -e hex -n " + name + " " + Quote(path) + " 2>/dev/null");
  const std::size_t at = out.find(name + "=0x");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 3;
  return out.substr(start, out.find('\n', start) - start);
}

// A fresh folder under $ZAVERO_TEST_TMP (the build folder's, on this
// machine's disk) or /tmp; removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("ZAVERO_TEST_TMP");
    std::string root = base != nullptr ? base : "/tmp";
    Shell("mkdir -p " + Quote(root));
    std::string pattern = root + "/zavero-XXXXXX";
    if (mkdtemp(&pattern[0]) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty())
      Shell("chattr -R -i " + Quote(path_) + " 2>/dev/null; rm -rf " + Quote(path_));
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace zavero::testing
