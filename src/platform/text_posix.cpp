// The platform's case rule for names and texts on POSIX, installed as
// TextUpper's rule by the program's entry.
#include "platform/posix.h"

namespace zavero::platform {

// Names on Linux are UTF-8 bytes: only ASCII letters have a case this
// program may change; every byte of a longer sequence stays as it is.
void UpperCaseAnsi(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

}  // namespace zavero::platform
