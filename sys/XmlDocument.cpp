#include "sys/XmlDocument.h"

#include <objbase.h>
#include <oleauto.h>

#include <utility>

#include "sys/Text.h"

namespace sys {

namespace {

// A BSTR owned for one call.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& s) : s_(SysAllocStringLen(s.data(), UINT(s.size()))) {}
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return s_; }
  BSTR* Out() { return &s_; }
  std::wstring Text() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_ = nullptr;
};

// A VT_BSTR variant naming a file; the string stays owned by `path`.
VARIANT PathVariant(const Bstr& path) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = path.Get();
  return v;
}

// The attributes of the document's XML declaration ('version="1.0" encoding="GBK"'),
// empty when it has none.
std::wstring DeclarationText(IXMLDOMDocument* doc) {
  IXMLDOMNode* first = nullptr;
  if (FAILED(doc->get_firstChild(&first)) || !first) return {};
  XmlNode node(first);
  if (node.Name() != L"xml") return {};
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(first->get_nodeValue(&value)) && value.vt == VT_BSTR && value.bstrVal)
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
  VariantClear(&value);
  return text;
}

// Where the quoted value of `name` stands in attribute text: start and length; npos when
// the attribute is missing.
std::pair<size_t, size_t> AttributeSpan(const std::wstring& attributes, const std::wstring& name) {
  const std::wstring lower = LowerCase(attributes);
  for (size_t at = lower.find(name); at != std::wstring::npos; at = lower.find(name, at + 1)) {
    size_t eq = lower.find_first_not_of(L" \t\r\n", at + name.size());
    if (eq == std::wstring::npos || lower[eq] != L'=') continue;
    size_t quote = lower.find_first_not_of(L" \t\r\n", eq + 1);
    if (quote == std::wstring::npos || (lower[quote] != L'"' && lower[quote] != L'\'')) continue;
    size_t close = lower.find(lower[quote], quote + 1);
    if (close == std::wstring::npos) break;
    return {quote + 1, close - quote - 1};
  }
  return {std::wstring::npos, 0};
}

std::wstring AttributeValue(const std::wstring& attributes, const std::wstring& name) {
  auto span = AttributeSpan(attributes, name);
  return span.first == std::wstring::npos ? std::wstring()
                                          : attributes.substr(span.first, span.second);
}

void SetAttributeValue(std::wstring& attributes, const std::wstring& name,
                       const std::wstring& value) {
  auto span = AttributeSpan(attributes, name);
  if (span.first != std::wstring::npos) attributes.replace(span.first, span.second, value);
}

// 0 for an encoding this writer does not know.
UINT CodePageOf(const std::wstring& encoding) {
  const std::wstring e = LowerCase(encoding);
  if (e.empty() || e == L"utf-8" || e == L"utf8") return CP_UTF8;
  if (e == L"gbk" || e == L"gb2312" || e == L"cp936" || e == L"x-gbk") return 936;
  if (e == L"gb18030") return 54936;
  if (e == L"big5") return 950;
  return 0;
}

// False when the code page is unknown or cannot express every character.
bool Encode(const std::wstring& text, UINT codePage, std::string& bytes) {
  bytes.clear();
  if (codePage == 0) return false;
  if (text.empty()) return true;
  const bool utf8 = codePage == CP_UTF8;
  BOOL lossy = FALSE;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr,
                              utf8 ? nullptr : &lossy);
  if (n <= 0 || lossy) return false;
  bytes.resize(size_t(n));
  WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), &bytes[0], n, nullptr,
                      nullptr);
  return true;
}

HRESULT WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(h);
  if (!ok) return HRESULT_FROM_WIN32(error);
  return written == bytes.size() ? S_OK : E_FAIL;
}

}  // namespace

XmlNode::XmlNode(const XmlNode& o) : node_(o.node_) {
  if (node_) node_->AddRef();
}

XmlNode& XmlNode::operator=(const XmlNode& o) {
  if (o.node_) o.node_->AddRef();
  Reset();
  node_ = o.node_;
  return *this;
}

XmlNode& XmlNode::operator=(XmlNode&& o) noexcept {
  if (this != &o) {
    Reset();
    node_ = o.node_;
    o.node_ = nullptr;
  }
  return *this;
}

void XmlNode::Reset() {
  if (node_) node_->Release();
  node_ = nullptr;
}

std::wstring XmlNode::Name() const {
  if (!node_) return {};
  Bstr name;
  if (FAILED(node_->get_nodeName(name.Out()))) return {};
  return name.Text();
}

long XmlNode::ChildCount() const {
  if (!node_) return 0;
  IXMLDOMNodeList* list = nullptr;
  if (FAILED(node_->get_childNodes(&list)) || !list) return 0;
  long n = 0;
  if (FAILED(list->get_length(&n))) n = 0;
  list->Release();
  return n;
}

std::vector<XmlNode> XmlNode::Children() const {
  std::vector<XmlNode> out;
  if (!node_) return out;
  IXMLDOMNode* child = nullptr;
  if (FAILED(node_->get_firstChild(&child))) return out;
  while (child) {
    out.emplace_back(child);
    IXMLDOMNode* next = nullptr;
    if (FAILED(child->get_nextSibling(&next))) break;
    child = next;
  }
  return out;
}

XmlNode XmlNode::LastChildNamed(const std::wstring& name) const {
  const std::wstring wanted = LowerCase(name);
  XmlNode found;
  for (XmlNode& child : Children())
    if (LowerCase(child.Name()) == wanted) found = std::move(child);
  return found;
}

HRESULT XmlNode::RemoveChild(const XmlNode& child) {
  if (!node_ || !child.node_) return E_POINTER;
  IXMLDOMNode* old = nullptr;
  HRESULT hr = node_->removeChild(child.node_, &old);
  if (old) old->Release();
  return hr;
}

HRESULT XmlNode::RemoveChildren() {
  if (!node_) return E_POINTER;
  // Each removal reads the first child afresh, so a node list never goes stale.
  for (;;) {
    IXMLDOMNode* first = nullptr;
    HRESULT hr = node_->get_firstChild(&first);
    if (FAILED(hr)) return hr;
    if (!first) return S_OK;
    hr = RemoveChild(XmlNode(first));
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  }
}

HRESULT XmlDocument::Load(const std::wstring& path) {
  Close();
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid);
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                        reinterpret_cast<void**>(&doc_));
  if (FAILED(hr) || !doc_) {
    doc_ = nullptr;
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  doc_->put_async(VARIANT_FALSE);
  // Another program's file: never let it pull in external entities or a DTD.
  doc_->put_resolveExternals(VARIANT_FALSE);
  doc_->put_validateOnParse(VARIANT_FALSE);
  Bstr file(path);
  VARIANT_BOOL ok = VARIANT_FALSE;
  hr = doc_->load(PathVariant(file), &ok);
  if (hr != S_OK || ok != VARIANT_TRUE) {
    Close();
    return FAILED(hr) ? hr : S_FALSE;
  }
  return S_OK;
}

XmlNode XmlDocument::DocumentElement() const {
  if (!doc_) return {};
  IXMLDOMElement* root = nullptr;
  if (FAILED(doc_->get_documentElement(&root)) || !root) return {};
  IXMLDOMNode* node = nullptr;
  HRESULT hr = root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&node));
  root->Release();
  return SUCCEEDED(hr) ? XmlNode(node) : XmlNode();
}

HRESULT XmlDocument::Save(const std::wstring& path) const {
  if (!doc_) return E_POINTER;
  Bstr xml;
  HRESULT hr = doc_->get_xml(xml.Out());
  if (FAILED(hr)) return hr;
  std::wstring body = xml.Text();
  // The text starts with the declaration (if any), in whatever form MSXML shows it.
  if (StartsWith(body, L"<?xml")) {
    size_t end = body.find(L"?>");
    body.erase(0, end == std::wstring::npos ? body.size() : end + 2);
    body.erase(0, body.find_first_not_of(L"\r\n"));
  }
  std::wstring declaration = DeclarationText(doc_);
  std::string bytes;
  if (!Encode(body, CodePageOf(AttributeValue(declaration, L"encoding")), bytes)) {
    // Not expressible in the declared encoding: the whole file becomes UTF-8, and says so.
    SetAttributeValue(declaration, L"encoding", L"UTF-8");
    Encode(body, CP_UTF8, bytes);
  }
  if (!declaration.empty()) bytes.insert(0, ToUtf8(L"<?xml " + declaration + L"?>\r\n"));
  return WriteWholeFile(path, bytes);
}

void XmlDocument::Close() {
  if (doc_) doc_->Release();
  doc_ = nullptr;
}

}  // namespace sys
