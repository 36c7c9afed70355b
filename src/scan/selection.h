// The scan's path rule, what a pattern may hold, and the three-way attribute
// test.
#pragma once

#include <cstdint>
#include <string>

namespace zavero {

// folder + separator + name, without doubling a separator the folder already
// ends in.
std::string JoinPath(const std::string& folder, const char* name, char separator = '\\');
// The same into `out`, reusing its buffer (the walk builds one path per entry).
void JoinPathInto(std::string& out, const std::string& folder, const char* name,
                  char separator = '\\');

// True when the pattern holds a "/" or a backslash: a pattern matches names
// only, so such a pattern selects nothing.
inline bool PatternHoldsSeparator(const std::string& pattern) {
  return pattern.find_first_of("/\\") != std::string::npos;
}

// True when every bit of mask is set in value (always true for mask 0).
inline bool HasAllBits(std::uint32_t value, std::uint32_t mask) { return (value | mask) == value; }

enum class Selection { NotIncluded, Skipped, Selected };

// NotIncluded without every include bit; Skipped with every skip bit too
// (a skip mask of 0 skips nothing); Selected otherwise.
inline Selection SelectionTest(std::uint32_t attributes, std::uint32_t includeMask,
                               std::uint32_t skipMask) {
  if (!HasAllBits(attributes, includeMask)) return Selection::NotIncluded;
  if (skipMask != 0 && HasAllBits(attributes, skipMask)) return Selection::Skipped;
  return Selection::Selected;
}

}  // namespace zavero
