// The user.DOSATTRIB value on any bytes (after a new word in the first four):
// a value that does not parse is never rewritten; one that does takes the new
// word, reads it back, and keeps every byte of the record but the word and a
// hex text that spelled the old word (an NDR record's header, body and, while
// the text keeps its length, padding stay).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/dos_attrib_blob.h"

namespace {

// "0x" and one to eight hex digits naming `word`.
bool Spells(const std::string& text, std::uint32_t word) {
  return text.size() >= 3 && text.size() <= 10 && text[0] == '0' && (text[1] | 0x20) == 'x' &&
         text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos &&
         std::strtoul(text.c_str() + 2, nullptr, 16) == word;
}

// An NDR record cut where its layout puts the parts: the text, its NUL and
// padding to 2, the version twice, padding to 4, the body with the word
// blanked (first in version 1, after valid_flags in the others).
struct Record {
  std::string Text, Padding, Header, Body;
};

Record Cut(const std::string& value) {
  const std::size_t nul = value.find('\0');
  const std::size_t header = (nul + 2) / 2 * 2, body = (header + 7) / 4 * 4;
  Record r{value.substr(0, nul),
           value.substr(nul, header - nul) + value.substr(header + 4, body - header - 4),
           value.substr(header, 4), value.substr(body)};
  r.Body.replace(r.Header[0] == 1 ? 0 : 4, 4, 4, '_');
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zavero::platform;
  if (size < 4) return 0;
  std::uint32_t word;
  std::memcpy(&word, data, 4);
  const std::string value(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::string edited = value;
  std::uint32_t old_word = 0, read = 0;
  if (!ReadDosAttrib(value, &old_word)) {
    if (EditDosAttrib(edited, word) || edited != value) std::abort();
    return 0;
  }
  if (!EditDosAttrib(edited, word) || !ReadDosAttrib(edited, &read) || read != word) std::abort();
  if (!ReadDosAttrib(NewDosAttrib(word), &read) || read != word) std::abort();
  const std::size_t nul = value.find('\0');
  if (nul == std::string::npos || nul + 1 == value.size()) {  // the text form: NUL kept or not
    if ((edited.find('\0') == std::string::npos) != (nul == std::string::npos)) std::abort();
    return 0;
  }
  const Record before = Cut(value), after = Cut(edited);
  if (after.Header != before.Header || after.Body != before.Body) std::abort();
  if (after.Text != before.Text && !(Spells(before.Text, old_word) && Spells(after.Text, word)))
    std::abort();
  // Padding is laid out anew (zeros) only when the text's length changes.
  if (after.Text.size() == before.Text.size()
          ? after.Padding != before.Padding
          : after.Padding.find_first_not_of('\0') != std::string::npos)
    std::abort();
  return 0;
}
