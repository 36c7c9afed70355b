// The platform's case rules for the ANSI code page, installed as TextUpper's
// rule by the program's entry.
#include "platform/win32.h"

namespace zavero::platform {

void UpperCaseAnsi(char* text, std::size_t length) {
  // CharUpperBuffA counts in DWORDs; a text never comes near that on the
  // 32-bit target, but take it in pieces rather than truncate the count.
  const std::size_t kMaxPiece = 0x7FFFFFFF;
  while (length > 0) {
    const std::size_t piece = length < kMaxPiece ? length : kMaxPiece;
    CharUpperBuffA(text, static_cast<DWORD>(piece));
    text += piece;
    length -= piece;
  }
}

}  // namespace zavero::platform
