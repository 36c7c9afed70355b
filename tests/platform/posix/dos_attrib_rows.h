// user.DOSATTRIB values in every form, packed by Samba itself
// (make_dos_attrib_fixtures.py), before and after a change of the word.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zavero::testing {

struct DosAttribRow {
  const char* Form;
  std::string Before;
  std::uint32_t OldWord;
  std::uint32_t NewWord;
  std::string After;  // Samba's own packing of the same fields with the new word
};

inline const DosAttribRow kDosAttribRows[] = {
#include "platform/posix/dos_attrib_fixtures.inc"
};

inline const DosAttribRow& DosAttribRowOf(const char* form) {
  for (const DosAttribRow& row : kDosAttribRows)
    if (std::strcmp(row.Form, form) == 0) return row;
  throw std::invalid_argument(form);
}

}  // namespace zavero::testing
