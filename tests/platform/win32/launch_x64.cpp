// The start of the log viewer, built as a 64-bit program: there the records
// the platform is handed (STARTUPINFOA, SHELLEXECUTEINFOA) are larger than in
// the shipped 32-bit build, and a size filled in for one build is wrong in the
// other. Windows refuses a SHELLEXECUTEINFOA whose cbSize is not its own size;
// Wine takes any size. So the two calls are intercepted at their import
// pointers (the link wraps them, see tests/CMakeLists.txt): the direct start
// notes the size it was given and fails, as when notepad cannot be started,
// and the shell start refuses a wrong size as Windows does before it makes the
// real call. The program launches this same program through the real Win32
// desktop and checks that the started copy ran: it creates the file named by
// its parameter. Exit status 0 when both sizes were right and the copy ran.
#include <cstdio>
#include <string>

#include "console/program_launch.h"
#include "platform/win32/win32.h"

#include <shellapi.h>

extern "C" {
using ShellExecuteFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
using CreateProcessFn = BOOL(WINAPI*)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                      BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA,
                                      LPPROCESS_INFORMATION);
extern ShellExecuteFn __real___imp_ShellExecuteExA;
}

namespace {

int g_wrong_sizes = 0;

bool SizeIsTheRecords(const char* call, unsigned given, unsigned record) {
  std::printf("%s: size field %u, the record has %u bytes\n", call, given, record);
  g_wrong_sizes += given != record;
  return given == record;
}

BOOL WINAPI FailingCreateProcessA(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                  BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA startup,
                                  LPPROCESS_INFORMATION) {
  SizeIsTheRecords("CreateProcessA", startup->cb, sizeof *startup);
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL WINAPI CheckedShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!SizeIsTheRecords("ShellExecuteExA", info->cbSize, sizeof *info)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return __real___imp_ShellExecuteExA(info);
}

bool AppearsWithin(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

extern "C" {
ShellExecuteFn __wrap___imp_ShellExecuteExA = CheckedShellExecuteExA;
CreateProcessFn __wrap___imp_CreateProcessA = FailingCreateProcessA;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "started") {
    HANDLE h = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(h);
    return 0;
  }
  char self[MAX_PATH] = {};
  char temp[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  const std::string marker =
      std::string(temp) + "zavero-launch-" + std::to_string(GetCurrentProcessId());
  DeleteFileA(marker.c_str());

  const int result = zavero::console::LaunchProgram(zavero::platform::RealDesktop(), self,
                                                    "started " + marker, "");
  const bool ran = AppearsWithin(marker, 30);
  DeleteFileA(marker.c_str());
  std::printf("%u-bit build: launch result %d, the started program %s\n",
              static_cast<unsigned>(8 * sizeof(void*)), result, ran ? "ran" : "did not run");
  return result == 1 && ran && g_wrong_sizes == 0 ? 0 : 1;
}
