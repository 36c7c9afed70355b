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
};
const Base kBases[] = {{u"C:", u"\\\\?\\C:", {}},
                       {u"c:\\Users\\me. ", u"\\\\?\\c:", {u"Users", u"me. "}},
                       {u"\\\\srv\\share", u"\\\\?\\UNC\\srv\\share", {}},
                       {u"\\\\?\\UNC\\srv\\share\\x", u"\\\\?\\UNC\\srv\\share", {u"x"}},
                       {u"\\\\?\\D:\\deep", u"\\\\?\\D:", {u"deep"}}};

Names Split(const Text& path, std::size_t from) {
  Names names(1);
  for (std::size_t i = from; i < path.size(); ++i)
    path[i] == u'\\' || path[i] == u'/' ? void(names.emplace_back()) : names.back().push_back(path[i]);
  Names parts;
  for (Text& n : names)
    if (!n.empty()) parts.push_back(n);
  return parts;
}

bool Misread(const Text& path, PathUse use) { return HasMisreadName(path, use); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Base& base = kBases[data[0] % (sizeof kBases / sizeof kBases[0])];
  Text path;
  for (std::size_t i = 1; i + 1 < size && (data[i] | data[i + 1]); i += 2)
    path.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const PathStart start = ClassifyPath(path);
  if (start == PathStart::Extended || start == PathStart::Device) {
    if (ExtendedForm(path, base.Path) != path || Misread(path, PathUse::Entry) ||
        Misread(path, PathUse::Search))
      std::abort();
    return 0;
  }
  const bool dir = !path.empty() && (path.back() == u'\\' || path.back() == u'/');
  Text root = base.Root;
  Names given = base.Given, names;
  const Names parts = Split(path, 0);  // "C:x" is one part for the misread rule
  if (start == PathStart::Unc || start == PathStart::DriveAbsolute) {
    const std::size_t root_parts = start == PathStart::Unc ? 2 : 0;
    root = start == PathStart::Unc ? u"\\\\?\\UNC" : u"\\\\?\\" + path.substr(0, 2);
    given.clear();
    const Names after = Split(path, start == PathStart::Unc ? 0 : 2);
    for (std::size_t i = 0; i < after.size(); ++i)
      i < root_parts ? void(root += u"\\" + after[i]) : given.push_back(after[i]);
  } else {
    const Names own = Split(path, start == PathStart::DriveRelative ? 2 : 0);
    given.insert(given.end(), own.begin(), own.end());
  }
  for (const Text& n : given)
    n == u"." ? void() : n == u".." ? (names.empty() ? void() : names.pop_back()) : names.push_back(n);
  Text expected = root;
  for (const Text& n : names) expected += u"\\" + n;
  if (names.empty() || dir) expected += u"\\";
  if (ExtendedForm(path, base.Path) != expected) std::abort();

  const auto dotted = [](const Text& n) {
    return n != u"." && n != u".." && (n.back() == u'.' || n.back() == u' ');
  };
  bool before_last = false;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) before_last |= dotted(parts[i]);
  const Text last = parts.empty() ? Text() : parts.back();
  const bool any = before_last || (!last.empty() && dotted(last));
  const bool letters = last.find_first_of(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") != Text::npos;
  const bool entry = Misread(path, PathUse::Entry);
  if (Misread(path, PathUse::Search) != before_last || entry < any || (!letters && entry != any))
    std::abort();
  Text upper = path;
  for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  if (Misread(upper, PathUse::Entry) != entry) std::abort();
  // A device name takes any extension: "nul" and "nul.txt" are both the device.
  if (!parts.empty() && !dir && !any && last.find(u'.') == Text::npos &&
      Misread(path + u".txt", PathUse::Entry) != entry)
    std::abort();
  return 0;
}
