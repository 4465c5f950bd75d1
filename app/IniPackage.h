// In-memory INI files: TMemIniFile holds sections of key=value lines, TStreamIniFile reads
// and writes them through a COM IStream, so that an outside library can fill one.
//
// The object crosses the boundary of "Halvane0.dll", which calls LoadFromStream through the
// table of virtual operations: keep their order, and pass only COM types through them.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace app {

class TMemIniFile {
 public:
  explicit TMemIniFile(const std::wstring& fileName);
  virtual ~TMemIniFile();
  TMemIniFile(const TMemIniFile&) = delete;
  TMemIniFile& operator=(const TMemIniFile&) = delete;

  // Look-ups ignore the letter case of sections and keys; a missing key gives `def`, a key
  // written without "=" gives an empty text.
  virtual std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& def) const;
  virtual void WriteString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& value);
  // The keys of a section in file order.
  virtual std::vector<std::wstring> ReadSection(const std::wstring& section) const;
  virtual std::vector<std::wstring> ReadSections() const;
  virtual bool SectionExists(const std::wstring& section) const;
  virtual bool ValueExists(const std::wstring& section, const std::wstring& key) const;
  virtual void EraseSection(const std::wstring& section);
  virtual void DeleteKey(const std::wstring& section, const std::wstring& key);
  virtual void Clear();
  // Replaces the whole content by text lines: trimmed, blanks and ";" comments skipped,
  // "[name]" starts a section, lines before the first section dropped, "key=value" or a
  // bare key otherwise.
  virtual void SetStrings(const std::vector<std::wstring>& lines);
  // The content as text lines, each section followed by an empty line.
  virtual std::vector<std::wstring> GetStrings() const;
  // Stores the content where the object keeps it; the in-memory base keeps it nowhere.
  virtual void UpdateFile();

  const std::wstring& FileName() const { return fileName_; }

 private:
  struct Entry {
    std::wstring key, value;
    bool hasValue;
  };
  struct Section {
    std::wstring name;
    std::vector<Entry> entries;  // a deleted entry leaves no gap
    std::unordered_map<std::wstring, std::size_t> index;  // lower-case key -> first entry
  };
  Section* Find(const std::wstring& section);
  const Section* Find(const std::wstring& section) const;
  Section& Add(const std::wstring& section);
  static void Reindex(Section& s);

  std::wstring fileName_;
  std::vector<Section> sections_;
  std::unordered_map<std::wstring, std::size_t> sectionIndex_;  // lower-case name -> section
};

class TStreamIniFile : public TMemIniFile {
 public:
  // The largest text LoadFromStream accepts (bytes); a longer stream fails.
  static constexpr std::size_t kMaxStreamBytes = 16u << 20;

  explicit TStreamIniFile(const std::wstring& fileName = std::wstring());

  // Rewinds the stream and makes its text (GBK, or UTF-8 after a byte-order mark) the whole
  // content. False on any error; the content is then unchanged.
  virtual bool LoadFromStream(IStream* stream);
  // Writes the content as GBK text lines ended by CR LF.
  virtual bool SaveToStream(IStream* stream);

  // Creates or empties the file and saves into it.
  bool SaveToFile(const std::wstring& name);
  // Saves into the kept file name when that file exists.
  void UpdateFile() override;
};

}  // namespace app
