#include "platform/posix/name_pattern.h"

#include <cstring>

namespace zavero::platform {

namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// The bytes of the UTF-8 character starting at `p` (1 for a stray byte).
const char* NextCharacter(const char* p) {
  ++p;
  while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80) ++p;
  return p;
}

}  // namespace

bool MatchesNamePattern(const char* pattern, const char* name) {
  // "*" takes every name, and so does its old spelling "*.*": Windows never
  // asks for a dot.
  if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
  const char* p = pattern;
  const char* n = name;
  // The classic single-backtrack match: on a mismatch, let the last "*" take
  // one more byte and try again from there. A byte, not a character: where
  // name or pattern is no UTF-8, a match may start inside what reads as one
  // UTF-8 sequence (Latin-1 "*\xB0", "ends in a degree sign", against
  // "\xE9\xB0"), and a star that skipped such places missed it. A UTF-8
  // pattern matches nothing from inside a character but "?", which ends at
  // the same place as from the character's start.
  const char* star_p = nullptr;
  const char* star_n = nullptr;
  while (*n != 0) {
    if (*p == '*') {
      star_p = ++p;
      star_n = n;
    } else if (*p == '?') {
      ++p;
      n = NextCharacter(n);
    } else if (*p != 0 &&
               Fold(static_cast<unsigned char>(*p)) == Fold(static_cast<unsigned char>(*n))) {
      ++p;
      ++n;
    } else if (star_p != nullptr) {
      p = star_p;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

}  // namespace zavero::platform
