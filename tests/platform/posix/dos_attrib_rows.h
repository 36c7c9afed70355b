// user.DOSATTRIB values in every form, packed by Samba itself
// (make_dos_attrib_fixtures.py), before and after a change of the word.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zavero::testing {

struct DosAttribRow {
  const char* form;
  std::string before;
  std::uint32_t old_word;
  std::uint32_t new_word;
  std::string after;  // Samba's own packing of the same fields with the new word
};

inline const DosAttribRow kDosAttribRows[] = {
#include "platform/posix/dos_attrib_fixtures.inc"
};

inline const DosAttribRow& DosAttribRowOf(const char* form) {
  for (const DosAttribRow& row : kDosAttribRows)
    if (std::strcmp(row.form, form) == 0) return row;
  throw std::invalid_argument(form);
}

}  // namespace zavero::testing
