// A Windows path (UTF-16 after the first byte, which picks the folder a
// relative path starts from). Its "\\?\" form is the root ("\\?\C:" or
// "\\?\UNC\server\share") and then the names with "." gone and ".." taking
// the one before it (never the root), every other name exactly as given.
// A name other than "." and ".." that ends in a dot or blank makes the plain
// form misread (the last one only for an entry); so does a device as the
// last name of an entry, in any letter case and with any extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/extended_path.h"

namespace {

using namespace zavero::platform;
using Text = std::u16string;
using Names = std::vector<Text>;

struct Base {
  Text Path, Root;
  Names Given;
} const kBases[] = {{u"C:", u"\\\\?\\C:", {}},
                    {u"c:\\Users\\me. ", u"\\\\?\\c:", {u"Users", u"me. "}},
                    {u"\\\\srv\\share", u"\\\\?\\UNC\\srv\\share", {}},
                    {u"\\\\?\\UNC\\srv\\share\\x", u"\\\\?\\UNC\\srv\\share", {u"x"}},
                    {u"\\\\?\\D:\\deep", u"\\\\?\\D:", {u"deep"}}};

Names Split(const Text& path, std::size_t from, Names parts = {}) {
  Text part;
  for (std::size_t i = from; i <= path.size(); ++i)
    if (i < path.size() && path[i] != u'\\' && path[i] != u'/')
      part += path[i];
    else if (!part.empty())
      parts.push_back(part), part.clear();
  return parts;
}

bool Dotted(const Text& n) {
  return n != u"." && n != u".." && (n.back() == u'.' || n.back() == u' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Base& base = kBases[data[0] % 5];
  Text path;
  for (std::size_t i = 1; i + 1 < size && (data[i] | data[i + 1]); i += 2)
    path.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const PathStart start = ClassifyPath(path);
  const bool entry = HasMisreadName(path, PathUse::Entry);
  if (start == PathStart::Extended || start == PathStart::Device) {
    if (ExtendedForm(path, base.Path) != path || entry || HasMisreadName(path, PathUse::Search))
      std::abort();
    return 0;
  }
  Text expected = base.Root;
  Names given = base.Given, names;
  if (start == PathStart::Unc || start == PathStart::DriveAbsolute) {
    expected = start == PathStart::Unc ? u"\\\\?\\UNC" : u"\\\\?\\" + path.substr(0, 2);
    given = Split(path, start == PathStart::Unc ? 0 : 2);
    for (int i = 0; start == PathStart::Unc && i < 2 && !given.empty(); ++i)
      expected += u"\\" + given.front(), given.erase(given.begin());
  } else {
    given = Split(path, start == PathStart::DriveRelative ? 2 : 0, given);
  }
  for (const Text& n : given)
    if (n == u"..") {
      if (!names.empty()) names.pop_back();
    } else if (n != u".")
      names.push_back(n);
  for (const Text& n : names) expected += u"\\" + n;
  const bool dir = !path.empty() && (path.back() == u'\\' || path.back() == u'/');
  if (names.empty() || dir) expected += u"\\";
  if (ExtendedForm(path, base.Path) != expected) std::abort();

  const Names parts = Split(path, 0);  // "C:x" is one name for this rule
  bool before_last = false;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) before_last |= Dotted(parts[i]);
  const Text last = parts.empty() ? Text() : parts.back();
  const bool any = before_last || (!last.empty() && Dotted(last));
  const bool letters =
      last.find_first_of(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") != Text::npos;
  if (HasMisreadName(path, PathUse::Search) != before_last || entry < any ||
      (!letters && entry != any))
    std::abort();
  Text upper = path;
  for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  if (HasMisreadName(upper, PathUse::Entry) != entry) std::abort();
  // "nul" and "nul.txt" are both the device.
  if (!parts.empty() && !dir && !any && last.find(u'.') == Text::npos &&
      HasMisreadName(path + u".txt", PathUse::Entry) != entry)
    std::abort();
  return 0;
}
