// Paths that the plain Windows path rules would cut off or misread, and their
// "\\?\" form.
//
// A plain path goes through the Win32 path rules before the file system sees
// it: with the terminator it may not pass 260 characters, a dot or blank at the
// end of a name is dropped, and a last name such as "nul.txt" means a device. A
// listing hands out names exactly as they stand on disk, so "photos." or a
// folder "docs " would then name another entry, or none, and a deep entry could
// not be named at all. The "\\?\" form goes to the file system as it stands. It
// takes no relative parts, no "." or ".." and no "/", so it is built from the
// absolute, normalised form of what the path starts from plus its names exactly
// as given.
//
// Pure text over any string of 16-bit characters with std::basic_string's
// names (the exe's own WideText, std::u16string in the tests), so it is tested
// on any host; files.cpp supplies the current folders it needs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zavero::platform {

// MAX_PATH: the longest plain path, its terminator included.
constexpr std::size_t kPlainPathLimit = 260;

enum class PathUse {
  Entry,   // names one entry: every name in it must reach exactly that entry
  Search,  // a listing's folder plus a name pattern: the last part is the pattern
};

// How a path begins, which decides what a relative path is taken from.
enum class PathStart {
  Extended,       // "\\?\..." or "\??\...": already in the form the file system takes
  Device,         // "\\.\...": a device; taken as it is
  Unc,            // "\\server\share\..."
  DriveAbsolute,  // "C:\..."
  DriveRelative,  // "C:name": from drive C:'s current folder
  RootRelative,   // "\name": from the root of the current drive
  Relative,       // "name": from the current folder
};

namespace extended_path_detail {

template <class Char>
bool IsSeparator(Char c) {
  return c == Char('\\') || c == Char('/');
}

template <class Char>
bool IsLetter(Char c) {
  return (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'));
}

// The parts between separators, empty ones left out.
template <class Text>
std::vector<Text> Parts(const Text& path, std::size_t from) {
  std::vector<Text> parts;
  std::size_t begin = from;
  for (std::size_t i = from; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (i > begin) parts.push_back(path.substr(begin, i - begin));
    begin = i + 1;
  }
  return parts;
}

template <class Text>
bool IsDots(const Text& part) {
  using Char = typename Text::value_type;
  return (part.size() == 1 && part[0] == Char('.')) ||
         (part.size() == 2 && part[0] == Char('.') && part[1] == Char('.'));
}

// CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, CONIN$, CONOUT$, with any
// extension and blanks before it, in any letter case: the plain rules turn
// such a last name into the device. Windows reserves COM and LPT with the
// superscript digits 1, 2 and 3 (U+00B9, U+00B2, U+00B3) as well.
template <class Text>
bool IsDeviceName(const Text& part) {
  using Char = typename Text::value_type;
  std::size_t end = 0;
  while (end < part.size() && part[end] != Char('.')) ++end;
  while (end > 0 && part[end - 1] == Char(' ')) --end;
  std::string stem;
  for (std::size_t i = 0; i < end; ++i) {
    Char c = part[i];
    if (i == 3 && (c == Char(0xB9) || c == Char(0xB2) || c == Char(0xB3))) {
      c = Char('1');  // counts as a digit, after COM and LPT only
      if (stem != "COM" && stem != "LPT") return false;
    }
    if (c > Char(0x7E)) return false;
    if (c >= Char('a') && c <= Char('z')) c = Char(c - 'a' + 'A');
    stem += static_cast<char>(c);
  }
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
      stem == "CONOUT$")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

template <class Text>
Text Widen(const char* text) {
  Text out;
  for (; *text; ++text) out += typename Text::value_type(*text);
  return out;
}

// `base`, a separator, then `rest`.
template <class Text>
Text Joined(const Text& base, const Text& rest) {
  Text out = base;
  out += typename Text::value_type('\\');
  out += rest;
  return out;
}

}  // namespace extended_path_detail

// Whether a name holds a character that no path may hold, "\\?\" form
// included (the call fails with ERROR_INVALID_NAME or, for ":", names a
// stream of another entry): a control character or one of " * : < > ? |.
// A listing hands such names out as they stand on a disk another system
// wrote; files.cpp reaches those entries through their folder instead.
template <class Text>
bool IsRefusedName(const Text& name) {
  using Char = typename Text::value_type;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const Char c = name[i];
    if ((c >= Char(1) && c < Char(0x20)) || c == Char('"') || c == Char('*') || c == Char(':') ||
        c == Char('<') || c == Char('>') || c == Char('?') || c == Char('|'))
      return true;
  }
  return false;
}

template <class Text>
PathStart ClassifyPath(const Text& path) {
  using namespace extended_path_detail;
  using Char = typename Text::value_type;
  const std::size_t n = path.size();
  if (n >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    if (n >= 4 && path[2] == Char('?') && IsSeparator(path[3])) return PathStart::Extended;
    if (n >= 4 && path[2] == Char('.') && IsSeparator(path[3])) return PathStart::Device;
    return PathStart::Unc;
  }
  if (n >= 4 && path[0] == Char('\\') && path[1] == Char('?') && path[2] == Char('?') &&
      path[3] == Char('\\'))
    return PathStart::Extended;
  if (n >= 1 && IsSeparator(path[0])) return PathStart::RootRelative;
  if (n >= 2 && IsLetter(path[0]) && path[1] == Char(':'))
    return n >= 3 && IsSeparator(path[2]) ? PathStart::DriveAbsolute : PathStart::DriveRelative;
  return PathStart::Relative;
}

// Whether the plain form would reach another entry, or none, because of how a
// name is spelt (length aside): a name other than "." and ".." that ends in a
// dot or a blank, or, for an Entry, a last name that is a device name. The
// pattern at the end of a Search is the user's and is left to the plain rules.
// Always false for Extended and Device paths, which are taken as they are.
template <class Text>
bool HasMisreadName(const Text& path, PathUse use) {
  using namespace extended_path_detail;
  using Char = typename Text::value_type;
  const PathStart start = ClassifyPath(path);
  if (start == PathStart::Extended || start == PathStart::Device) return false;
  const auto parts = Parts(path, 0);
  const std::size_t names = use == PathUse::Search && !parts.empty() ? parts.size() - 1 : parts.size();
  for (std::size_t i = 0; i < names; ++i) {
    const auto& part = parts[i];
    if (IsDots(part)) continue;
    if (part.back() == Char('.') || part.back() == Char(' ')) return true;
  }
  return use == PathUse::Entry && !parts.empty() && IsDeviceName(parts.back());
}

// The "\\?\" form of `path`. `base` is the absolute path that a relative path
// starts from (unused for the others): the full path of "C:" for a
// DriveRelative path, of "\" for a RootRelative one, of "." for a Relative one.
// "/" becomes "\", empty parts and "." go, ".." takes the name before it away
// (never the root), and every other name stays exactly as it is. A path that
// ends in a separator keeps one. Extended and Device paths come back unchanged.
template <class Text>
Text ExtendedForm(const Text& path, const Text& base) {
  using namespace extended_path_detail;
  using Char = typename Text::value_type;
  const Char sep = Char('\\');
  Text absolute;
  switch (ClassifyPath(path)) {
    case PathStart::Extended:
    case PathStart::Device:
      return path;
    case PathStart::Unc:
    case PathStart::DriveAbsolute:
      absolute = path;
      break;
    case PathStart::DriveRelative:
      absolute = Joined(base, path.substr(2));
      break;
    case PathStart::RootRelative:
      absolute = Joined(base, path.substr(1));
      break;
    case PathStart::Relative:
      absolute = Joined(base, path);
      break;
  }

  // The root: what ".." can never take away.
  Text root;
  std::size_t names_from = 0;
  const PathStart start = ClassifyPath(absolute);
  if (start == PathStart::Extended || start == PathStart::Unc) {
    // "\\server\share" becomes "\\?\UNC\server\share". A base already in the
    // "\\?\" form keeps its prefix and the volume after it ("C:", or
    // "UNC\server\share").
    std::size_t at = start == PathStart::Extended ? 4 : 2;
    const auto first = Parts(absolute, at);
    std::size_t root_parts = 2;  // server and share
    if (start == PathStart::Extended) {
      const bool unc = !first.empty() && first[0].size() == 3 &&
                       (first[0][0] == Char('U') || first[0][0] == Char('u')) &&
                       (first[0][1] == Char('N') || first[0][1] == Char('n')) &&
                       (first[0][2] == Char('C') || first[0][2] == Char('c'));
      root_parts = unc ? 3 : 1;
      root = Widen<Text>("\\\\?");
    } else {
      root = Widen<Text>("\\\\?\\UNC");
    }
    // Skip the root's parts in the text, separators included.
    std::size_t taken = 0;
    std::size_t i = at;
    while (i < absolute.size() && taken < root_parts) {
      while (i < absolute.size() && IsSeparator(absolute[i])) ++i;
      const std::size_t begin = i;
      while (i < absolute.size() && !IsSeparator(absolute[i])) ++i;
      if (i > begin) {
        root += sep;
        root += absolute.substr(begin, i - begin);
        ++taken;
      }
    }
    names_from = i;
  } else {
    root = Widen<Text>("\\\\?\\");
    root += absolute.substr(0, 2);
    names_from = 2;
  }

  std::vector<Text> names;
  for (auto& part : Parts(absolute, names_from)) {
    if (part.size() == 1 && part[0] == Char('.')) continue;
    if (part.size() == 2 && part[0] == Char('.') && part[1] == Char('.')) {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(std::move(part));
  }
  Text out = root;
  for (const auto& name : names) {
    out += sep;
    out += name;
  }
  if (names.empty() || (!path.empty() && IsSeparator(path.back()))) out += sep;
  return out;
}

}  // namespace zavero::platform
