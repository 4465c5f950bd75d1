// An immutable wide text shared by reference: copies cost a count, not a copy, so a folder
// that thousands of findings name is held once. Empty texts hold nothing at all.
// Counted without locks: results are made and read on the main thread only.
#pragma once
#include <cstddef>
#include <iosfwd>
#include <string>

namespace catalogue {

class SharedText {
 public:
  SharedText() = default;
  explicit SharedText(const std::wstring& text) : rep_(Make(text.data(), text.size())) {}
  SharedText(const wchar_t* text);  // NOLINT: literals read as texts
  SharedText(const SharedText& other) : rep_(other.rep_) { Hold(); }
  SharedText(SharedText&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  ~SharedText() { Release(); }
  SharedText& operator=(const SharedText& other);
  SharedText& operator=(SharedText&& other) noexcept;
  SharedText& operator=(const std::wstring& text) { return *this = SharedText(text); }
  SharedText& operator=(const wchar_t* text) { return *this = SharedText(text); }

  const wchar_t* c_str() const { return rep_ ? rep_->chars : L""; }
  std::size_t size() const { return rep_ ? rep_->length : 0; }
  bool empty() const { return !rep_; }
  std::wstring str() const { return std::wstring(c_str(), size()); }
  operator std::wstring() const { return str(); }
  // The same text, shared or not.
  bool Equals(const wchar_t* text, std::size_t length) const;
  bool SameAs(const SharedText& other) const { return rep_ == other.rep_; }

 private:
  struct Rep {
    unsigned refs;
    unsigned length;
    wchar_t chars[1];
  };
  static Rep* Make(const wchar_t* text, std::size_t length);
  void Hold() {
    if (rep_) ++rep_->refs;
  }
  void Release();
  Rep* rep_ = nullptr;
};

inline bool operator==(const SharedText& a, const SharedText& b) {
  return a.SameAs(b) || a.Equals(b.c_str(), b.size());
}
inline bool operator==(const SharedText& a, const std::wstring& b) {
  return a.Equals(b.data(), b.size());
}
inline bool operator==(const std::wstring& a, const SharedText& b) { return b == a; }
inline bool operator==(const SharedText& a, const wchar_t* b) {
  return a.Equals(b, std::char_traits<wchar_t>::length(b));
}
inline bool operator==(const wchar_t* a, const SharedText& b) { return b == a; }
template <class T>
bool operator!=(const SharedText& a, const T& b) {
  return !(a == b);
}
inline bool operator!=(const std::wstring& a, const SharedText& b) { return !(b == a); }
inline bool operator!=(const wchar_t* a, const SharedText& b) { return !(b == a); }

// As UTF-8, for test messages. Defined with the tests (tests/support/SharedTextPrint.cpp):
// in the program it would bring the whole stream library into Sorvex.exe.
std::ostream& operator<<(std::ostream& out, const SharedText& text);

inline std::wstring operator+(const SharedText& a, const std::wstring& b) { return a.str() + b; }
inline std::wstring operator+(const std::wstring& a, const SharedText& b) {
  return a + std::wstring(b.c_str(), b.size());
}
inline std::wstring operator+(const SharedText& a, const wchar_t* b) { return a.str() + b; }
inline std::wstring operator+(const wchar_t* a, const SharedText& b) { return a + b.str(); }
inline std::wstring operator+(const SharedText& a, const SharedText& b) { return a.str() + b.str(); }

}  // namespace catalogue
