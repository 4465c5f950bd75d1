// XML files through MSXML: loading UTF-8 and GBK documents from the sandbox, the child
// search, deleting children and saving the changed file.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "sys/Text.h"
#include "sys/XmlDocument.h"
#include "tests/support/Sandbox.h"

using sys::XmlDocument;
using sys::XmlNode;

namespace {

class XmlDocumentTest : public ::testing::Test {
 protected:
  // COM belongs to the caller; the test is that caller.
  XmlDocumentTest() { CoInitialize(nullptr); }
  ~XmlDocumentTest() override { CoUninitialize(); }
  testsupport::SandboxFolder sandbox;
};

std::vector<std::wstring> ChildNames(const XmlNode& node) {
  std::vector<std::wstring> names;
  for (const XmlNode& c : node.Children()) names.push_back(c.Name());
  return names;
}

// "播放记录" in UTF-8 and in GBK.
const char kUtf8Name[] = "\xe6\x92\xad\xe6\x94\xbe\xe8\xae\xb0\xe5\xbd\x95";
const char kGbkName[] = "\xb2\xa5\xb7\xc5\xbc\xc7\xc2\xbc";

std::string Document(const char* encoding, const char* chineseName) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
         "\"?>\r\n<config>\r\n  <Hist><a/><b/><c/><d/><e/></Hist>\r\n  <!-- note -->\r\n  <" +
         chineseName + ">x</" + chineseName + ">\r\n  <HIST>text<a/><!-- c --></HIST>\r\n" +
         "  <other/>\r\n</config>\r\n";
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) bytes.append(buf, n);
  CloseHandle(h);
  return bytes;
}

}  // namespace

TEST_F(XmlDocumentTest, LoadsUtf8AndGbkAndFindsTheLastChildOfAName) {
  const struct {
    const char* encoding;
    const char* chineseName;
  } cases[] = {{"UTF-8", kUtf8Name}, {"GBK", kGbkName}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoding);
    std::wstring path = sandbox.file(sys::FromUtf8(c.encoding) + L"\\配置.xml",
                                     Document(c.encoding, c.chineseName));
    XmlDocument xml;
    ASSERT_EQ(S_OK, xml.Load(path));
    EXPECT_TRUE(xml.IsLoaded());
    XmlNode root = xml.DocumentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(L"config", root.Name());
    // Blank text between elements is not kept; the comment is a child like any other.
    EXPECT_EQ((std::vector<std::wstring>{L"Hist", L"#comment", L"播放记录", L"HIST", L"other"}),
              ChildNames(root));
    EXPECT_EQ(5, root.ChildCount());
    // The last of the two, whatever the letter case; its text and comment count too.
    XmlNode hist = root.LastChildNamed(L"hist");
    ASSERT_TRUE(hist);
    EXPECT_EQ(L"HIST", hist.Name());
    EXPECT_EQ(3, hist.ChildCount());
    EXPECT_TRUE(root.LastChildNamed(L"播放记录"));
    // Only direct children are searched.
    EXPECT_FALSE(root.LastChildNamed(L"a"));
    EXPECT_FALSE(root.LastChildNamed(L"missing"));
  }
}

TEST_F(XmlDocumentTest, RemovedChildrenStayRemovedAfterSaving) {
  for (const char* encoding : {"UTF-8", "GBK"}) {
    SCOPED_TRACE(encoding);
    const char* name = std::string(encoding) == "GBK" ? kGbkName : kUtf8Name;
    std::wstring path =
        sandbox.file(sys::FromUtf8(encoding) + L"\\config.xml", Document(encoding, name));
    {
      XmlDocument xml;
      ASSERT_EQ(S_OK, xml.Load(path));
      XmlNode root = xml.DocumentElement();
      XmlNode first = root.Children().front();
      EXPECT_EQ(S_OK, first.RemoveChildren());
      EXPECT_EQ(0, first.ChildCount());
      XmlNode last = root.LastChildNamed(L"HIST");
      EXPECT_EQ(S_OK, last.RemoveChild(last.Children().front()));
      // A node that is not a child of this one is refused.
      EXPECT_NE(S_OK, last.RemoveChild(first));
      ASSERT_EQ(S_OK, xml.Save(path));
    }
    XmlDocument again;
    ASSERT_EQ(S_OK, again.Load(path));
    XmlNode root = again.DocumentElement();
    EXPECT_EQ((std::vector<std::wstring>{L"Hist", L"#comment", L"播放记录", L"HIST", L"other"}),
              ChildNames(root));
    EXPECT_EQ(0, root.Children().front().ChildCount());
    // The file keeps its own encoding.
    EXPECT_NE(std::string::npos, ReadBytes(path).find(name));
    EXPECT_NE(std::string::npos,
              ReadBytes(path).find(std::string("encoding=\"") + encoding + "\""));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"#comment"}),
              ChildNames(root.LastChildNamed(L"HIST")));
  }
}

TEST_F(XmlDocumentTest, TextOutsideTheDeclaredEncodingIsSavedAsUtf8) {
  // U+1F600 has no GBK form.
  const std::wstring path = sandbox.file(
      L"emoji.xml", std::string("<?xml version=\"1.0\" encoding=\"GBK\" standalone=\"yes\"?>"
                                "<config><t>&#x1F600;") +
                        kGbkName + "</t></config>");
  {
    XmlDocument xml;
    ASSERT_EQ(S_OK, xml.Load(path));
    ASSERT_EQ(S_OK, xml.Save(path));
  }
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(0u, bytes.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"))
      << bytes;
  EXPECT_NE(std::string::npos, bytes.find(std::string("\xf0\x9f\x98\x80") + kUtf8Name));
  XmlDocument again;
  ASSERT_EQ(S_OK, again.Load(path));
  EXPECT_EQ(L"t", again.DocumentElement().Children().front().Name());

  // A document without a declaration is written as UTF-8 without one.
  const std::wstring bare =
      sandbox.file(L"bare.xml", std::string("<a><b>") + kUtf8Name + "</b></a>");
  {
    XmlDocument xml;
    ASSERT_EQ(S_OK, xml.Load(bare));
    ASSERT_EQ(S_OK, xml.Save(bare));
  }
  EXPECT_EQ(0u, ReadBytes(bare).find("<a>"));
  EXPECT_NE(std::string::npos, ReadBytes(bare).find(kUtf8Name));
}

TEST_F(XmlDocumentTest, UnreadableFilesLeaveNothingLoaded) {
  const struct {
    const wchar_t* rel;
    const char* bytes;  // nullptr: not created
  } cases[] = {
      {L"missing.xml", nullptr},
      {L"broken.xml", "<?xml version=\"1.0\"?><config><a></config>"},
      {L"empty.xml", ""},
      {L"text.xml", "not xml at all"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.rel));
    std::wstring path = c.bytes ? sandbox.file(c.rel, c.bytes) : sandbox / c.rel;
    XmlDocument xml;
    EXPECT_NE(S_OK, xml.Load(path));
    EXPECT_FALSE(xml.IsLoaded());
    EXPECT_FALSE(xml.DocumentElement());
    EXPECT_EQ(E_POINTER, xml.Save(sandbox / L"out.xml"));
  }
  EXPECT_FALSE(testsupport::FileExistsW(sandbox / L"out.xml"));
}
