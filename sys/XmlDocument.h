// XML files through MSXML 3 (COM object "Msxml2.DOMDocument.3.0", made from its ProgID:
// MinGW has no import library for the MSXML class IDs). The calling thread must have COM
// initialised. Wine's MSXML reads documents declared UTF-8 or "GBK", not "gb2312".
#pragma once
#include <msxml2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace sys {

// One node of a loaded document; shares the node with its copies. A null node answers
// empty names, no children and E_POINTER.
class XmlNode {
 public:
  XmlNode() = default;
  // Takes over the reference the caller holds.
  explicit XmlNode(IXMLDOMNode* adopt) : node_(adopt) {}
  ~XmlNode() { Reset(); }
  XmlNode(const XmlNode& o);
  XmlNode& operator=(const XmlNode& o);
  XmlNode(XmlNode&& o) noexcept : node_(o.node_) { o.node_ = nullptr; }
  XmlNode& operator=(XmlNode&& o) noexcept;

  explicit operator bool() const { return node_ != nullptr; }
  IXMLDOMNode* Get() const { return node_; }

  // nodeName: the tag of an element, "#text" for text, "#comment" for a comment.
  std::wstring Name() const;
  // Direct child nodes of any kind (elements, text, comments ...).
  long ChildCount() const;
  // The direct children in document order.
  std::vector<XmlNode> Children() const;
  // The last direct child whose name equals `name`, letter case ignored; null when none.
  XmlNode LastChildNamed(const std::wstring& name) const;
  // When the result is S_OK the child was taken out of this node.
  HRESULT RemoveChild(const XmlNode& child);
  // Removes every direct child; S_OK when all went.
  HRESULT RemoveChildren();

 private:
  void Reset();
  IXMLDOMNode* node_ = nullptr;
};

// One document, loaded synchronously. Released (inactive) on destruction or Close().
class XmlDocument {
 public:
  XmlDocument() = default;
  ~XmlDocument() { Close(); }
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // When the result is S_OK the file was parsed; otherwise the document is closed
  // (S_FALSE: MSXML refused the file, e.g. a parse error or an unknown encoding).
  HRESULT Load(const std::wstring& path);
  bool IsLoaded() const { return doc_ != nullptr; }
  // The root element; null when nothing is loaded.
  XmlNode DocumentElement() const;
  // Writes the document (as changed) to `path` in the encoding its declaration names
  // (UTF-8 without one, and UTF-8 with the declaration changed to say so when the text
  // does not fit the named one). Written here rather than by MSXML, which under Wine writes
  // UTF-8 below a "GBK" declaration. E_POINTER when nothing is loaded.
  HRESULT Save(const std::wstring& path) const;
  void Close();

 private:
  IXMLDOMDocument* doc_ = nullptr;
};

}  // namespace sys
