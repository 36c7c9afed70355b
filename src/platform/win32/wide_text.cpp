#include "platform/win32/wide_text.h"

namespace zavero::platform {

WideText::WideText(const wchar_t* text, std::size_t count) : chars_(text, text + count) {
  chars_.push_back(L'\0');
}

void WideText::resize(std::size_t count) {
  chars_.resize(count + 1);
  chars_[count] = L'\0';
}

WideText WideText::substr(std::size_t from, std::size_t count) const {
  const std::size_t rest = size() - from;
  return WideText(c_str() + from, count < rest ? count : rest);
}

WideText& WideText::operator+=(wchar_t c) {
  chars_.back() = c;
  chars_.push_back(L'\0');
  return *this;
}

WideText& WideText::operator+=(const WideText& more) {
  if (&more == this) return *this += WideText(more);
  chars_.pop_back();
  chars_.insert(chars_.end(), more.chars_.begin(), more.chars_.end());
  return *this;
}

}  // namespace zavero::platform
