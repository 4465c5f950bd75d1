#include "catalogue/SharedText.h"

#include <cwchar>
#include <new>

namespace catalogue {

SharedText::SharedText(const wchar_t* text)
    : rep_(text ? Make(text, std::char_traits<wchar_t>::length(text)) : nullptr) {}

SharedText::Rep* SharedText::Make(const wchar_t* text, std::size_t length) {
  if (length == 0) return nullptr;
  void* block = ::operator new(offsetof(Rep, chars) + (length + 1) * sizeof(wchar_t));
  Rep* rep = static_cast<Rep*>(block);
  rep->refs = 1;
  rep->length = static_cast<unsigned>(length);
  std::wmemcpy(rep->chars, text, length);
  rep->chars[length] = L'\0';
  return rep;
}

void SharedText::Release() {
  if (rep_ && --rep_->refs == 0) ::operator delete(rep_);
  rep_ = nullptr;
}

SharedText& SharedText::operator=(const SharedText& other) {
  if (rep_ == other.rep_) return *this;
  Release();
  rep_ = other.rep_;
  Hold();
  return *this;
}

SharedText& SharedText::operator=(SharedText&& other) noexcept {
  if (this == &other) return *this;
  Release();
  rep_ = other.rep_;
  other.rep_ = nullptr;
  return *this;
}

bool SharedText::Equals(const wchar_t* text, std::size_t length) const {
  return size() == length && std::wmemcmp(c_str(), text, length) == 0;
}

}  // namespace catalogue
