// Samba's store of DOS attributes on a Linux disk: the value of the extended
// attribute user.DOSATTRIB, read and edited as bytes, without any file system.
//
// Two forms exist on disks. The text form "0x22" (hexadecimal, with or
// without a terminating NUL) is what Wine and old Samba write. Samba itself
// writes an NDR record: a NUL-terminated hex text (the attribute spelled out
// for versions 1 and 3, empty for 4 and 5), padding to 2, the version twice
// (as a number and as the union's switch), padding to 4, then the version's
// body, whose attribute field is a little-endian 32-bit word.
#pragma once

#include <cstdint>
#include <string>

namespace zavero::platform {

// The attribute word the value carries. False for a value in no form known
// here: such an entry is taken to carry no bits.
bool ReadDosAttrib(const std::string& value, std::uint32_t* attributes);

// Makes the value carry `attributes` in the form it already has: only the
// attribute field changes (and the hex text that spells it, re-aligned when
// its length changes); every other byte stays. False, with the value left as
// it was, for a value in no form known here: a record this program does not
// understand is never rewritten.
bool EditDosAttrib(std::string& value, std::uint32_t attributes);

// The value for an entry that had none: the text form, as Wine writes it.
std::string NewDosAttrib(std::uint32_t attributes);

}  // namespace zavero::platform
