#include "platform/posix/dos_attrib_blob.h"

#include <cstddef>

namespace zavero::platform {

namespace {

// Where each NDR version keeps its attribute word inside its body, and how
// long the body is (Samba's librpc/idl/xattr.idl: version 1 starts with the
// attribute; 3, 4 and 5 start with valid_flags, then the attribute).
struct BodyShape {
  std::size_t AttributeOffset;
  std::size_t Size;
};

bool ShapeOf(std::uint16_t version, BodyShape* shape) {
  switch (version) {
    case 1: *shape = {0, 40}; return true;  // attrib, ea_size, size, alloc_size, 2 times
    case 3: *shape = {4, 44}; return true;  // valid_flags, attrib, ea_size, 2 sizes, 2 times
    case 4: *shape = {4, 24}; return true;  // valid_flags, attrib, itime, create_time
    case 5: *shape = {4, 16}; return true;  // valid_flags, attrib, create_time
    default: return false;                  // 2 has a variable name; others are unknown
  }
}

std::size_t AlignUp(std::size_t offset, std::size_t to) { return (offset + to - 1) / to * to; }

std::uint32_t LoadLe32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

std::uint16_t LoadLe16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}

void StoreLe32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// "0x" and one to eight hex digits, nothing else.
bool ParseHexText(const std::string& text, std::uint32_t* value) {
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return false;
  std::uint32_t v = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    v = (v << 4) | digit;
  }
  *value = v;
  return true;
}

// The spelling both Samba (printf "0x%x") and Wine use.
std::string HexText(std::uint32_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

// Where the parts of a value are.
struct Layout {
  bool Ndr = false;
  std::size_t TextSize = 0;  // the hex text, without its NUL
  bool TextHasNul = false;  // text form only
  bool TextSpells = false;   // NDR: the text is the attribute in hex
  std::size_t HeaderAt = 0;  // NDR: version and switch
  std::size_t BodyAt = 0;    // NDR
  BodyShape Shape{};          // NDR
  std::uint32_t Attributes = 0;
};

bool Parse(const std::string& value, Layout* layout) {
  const std::size_t nul = value.find('\0');
  // Text form: the whole value, or the whole value but a final NUL.
  if (nul == std::string::npos || nul + 1 == value.size()) {
    layout->Ndr = false;
    layout->TextSize = nul == std::string::npos ? value.size() : nul;
    layout->TextHasNul = nul != std::string::npos;
    return ParseHexText(value.substr(0, layout->TextSize), &layout->Attributes);
  }
  layout->Ndr = true;
  layout->TextSize = nul;
  layout->HeaderAt = AlignUp(nul + 1, 2);
  if (layout->HeaderAt + 4 > value.size()) return false;
  const std::uint16_t version = LoadLe16(value, layout->HeaderAt);
  if (LoadLe16(value, layout->HeaderAt + 2) != version || !ShapeOf(version, &layout->Shape))
    return false;
  layout->BodyAt = AlignUp(layout->HeaderAt + 4, 4);
  if (layout->BodyAt + layout->Shape.Size > value.size()) return false;
  layout->Attributes = LoadLe32(value, layout->BodyAt + layout->Shape.AttributeOffset);
  std::uint32_t spelled = 0;
  layout->TextSpells =
      ParseHexText(value.substr(0, nul), &spelled) && spelled == layout->Attributes;
  return true;
}

}  // namespace

bool ReadDosAttrib(const std::string& value, std::uint32_t* attributes) {
  Layout layout;
  if (!Parse(value, &layout)) return false;
  *attributes = layout.Attributes;
  return true;
}

bool EditDosAttrib(std::string& value, std::uint32_t attributes) {
  Layout layout;
  if (!Parse(value, &layout)) return false;
  if (!layout.Ndr) {
    value = HexText(attributes);
    if (layout.TextHasNul) value += '\0';
    return true;
  }
  const std::string text = HexText(attributes);
  if (!layout.TextSpells || text.size() == layout.TextSize) {
    // Versions 4 and 5 carry an empty text: only the word changes. A text
    // that spells the word (versions 1 and 3) keeps agreeing with it.
    if (layout.TextSpells) value.replace(0, text.size(), text);
    StoreLe32(value, layout.BodyAt + layout.Shape.AttributeOffset, attributes);
    return true;
  }
  // A longer or shorter text moves everything behind it; the alignment
  // padding is laid out anew, as Samba lays it out.
  std::string edited = text;
  edited += '\0';
  edited.resize(AlignUp(edited.size(), 2), '\0');
  edited.append(value, layout.HeaderAt, 4);
  edited.resize(AlignUp(edited.size(), 4), '\0');
  const std::size_t body_at = edited.size();
  edited.append(value, layout.BodyAt, std::string::npos);
  StoreLe32(edited, body_at + layout.Shape.AttributeOffset, attributes);
  value.swap(edited);
  return true;
}

std::string NewDosAttrib(std::uint32_t attributes) { return HexText(attributes); }

}  // namespace zavero::platform
