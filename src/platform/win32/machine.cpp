// Assembles the real machine from the Win32 implementations of each
// interface, with the few calls that belong to no single interface.
#include "platform/win32/win32.h"

namespace zavero::platform {

Machine& RealMachine() {
  static Machine machine{RealFileSystem(), RealFileIo(), RealConsole(), RealDesktop(),
                         RealProcess()};
  return machine;
}

// Windows reads the command line from the system (GetCommandLineA), with its
// own quoting rules; main's argument vector is not needed.
void SetArguments(int, char**) {}

void UpperCaseAnsi(char* text, std::size_t length) {
  // Every ANSI code page keeps ASCII as it is, and CharUpperBuffA maps its
  // letters as toupper does: plain ASCII texts (the modes, most drive roots
  // and paths) need no user32, which is loaded only for the others.
  std::size_t ascii = 0;
  while (ascii < length && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  if (ascii == length) {
    for (std::size_t i = 0; i < length; ++i)
      if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
    return;
  }
  const auto upper = LateFunction<decltype(&CharUpperBuffA)>(L"user32.dll", "CharUpperBuffA");
  if (upper == nullptr) return;
  // CharUpperBuffA counts in DWORDs; a text never comes near that on the
  // 32-bit target, but take it in pieces rather than truncate the count.
  const std::size_t kMaxPiece = 0x7FFFFFFF;
  while (length > 0) {
    const std::size_t piece = length < kMaxPiece ? length : kMaxPiece;
    upper(text, static_cast<DWORD>(piece));
    text += piece;
    length -= piece;
  }
}

}  // namespace zavero::platform
