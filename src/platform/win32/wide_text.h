// A growable, always zero-terminated run of wide characters: the paths and
// texts the wide Windows functions take.
//
// std::wstring would serve, but the C++ library keeps every member of it in
// one object file that a static link takes whole, about 35 KB or an eighth of
// the exe, where the program needs a buffer, a cut and an append. This is that
// much, with the names std::wstring gives them, so the path logic takes either.
// Plain C++ without <windows.h>: it is tested on any host. The members that
// grow it are out of line, so that each is in the exe once.
#pragma once

#include <cstddef>
#include <vector>

namespace zavero::platform {

class WideText {
 public:
  using value_type = wchar_t;
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  WideText() : chars_(1, L'\0') {}
  WideText(const wchar_t* text, std::size_t count);

  std::size_t size() const { return chars_.size() - 1; }
  bool empty() const { return chars_.size() == 1; }
  const wchar_t* c_str() const { return chars_.data(); }
  wchar_t* data() { return chars_.data(); }
  // Index size() is the terminator, as in std::wstring.
  wchar_t& operator[](std::size_t i) { return chars_[i]; }
  wchar_t operator[](std::size_t i) const { return chars_[i]; }
  wchar_t back() const { return chars_[size() - 1]; }

  // Characters added at the end are zero; room for the terminator is always
  // there beyond `count`.
  void resize(std::size_t count);
  void pop_back() { resize(size() - 1); }
  // At most `count` characters from `from` on; `from` must not pass size().
  WideText substr(std::size_t from, std::size_t count = npos) const;
  WideText& operator+=(wchar_t c);
  WideText& operator+=(const WideText& more);

 private:
  std::vector<wchar_t> chars_;  // the characters and the terminator
};

}  // namespace zavero::platform
