// The findings of a scan: a tree of ResultItem records with their detail rows, the running
// totals and the result image list. Plain data that scanners reach through ScanContext;
// the result tree view and the status bar listen to it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/SharedText.h"
#include "model/TreeModel.h"
#include "sys/Handles.h"
#include "sys/Views.h"

namespace catalogue {

// What a top-level result is, and so how the executor deletes it. Detail rows are None.
enum class ResultKind {
  None,             // a file found by a browser or application scanner
  File,             // a file found by the finder or a folder listing
  Folder,           // a folder, deleted with what is in it
  Shortcut,         // a shortcut file
  IECache,          // an entry of the Internet Explorer cache
  FirefoxDatabase,  // rows of a table in a Firefox database
  ChromeDatabase,   // rows of a table in a Chrome database
  Configuration,    // an edit of a program's own settings file (Detail names which)
  IniValue,         // one key of an INI file (Detail: "section|key")
  EventLog,         // a Windows event log (Detail: its name)
  Registry,         // a registry key or value
};
// The kind's text form, as the findings have always been written in listings: "", "文件",
// "目录", "LnkFile", "IECache", "FireFox", "Google Chrome", "other" (a settings edit and an
// INI key alike), "EventLog"; a registry item has none, its value data stands there.
const wchar_t* KindText(ResultKind kind);

// The value name that stands for a key's unnamed default value.
extern const wchar_t kDefaultValueMarker[];  // "@D_e_f_a_u_l_t"

// A detail row as a finding keeps it. A size row holds no text: it shows the finding's
// size as "123 Byte".
struct DetailRow {
  SharedText Label;
  SharedText Value;
  int ImageIndex = -1;
  bool IsSize = false;
};
// Findings with the same rows share one list.
using DetailRows = std::shared_ptr<const std::vector<DetailRow>>;

// One result node: a registry item holds the root name in Text, the key path in
// Location, the value name in Detail and the value data in ValueData. A top-level item
// keeps its detail rows in Rows; the tree makes them into nodes only while they are
// wanted, and such a row node carries a label in Text and the value in Location.
struct ResultItem {
  SharedText Text;
  SharedText Location;
  SharedText Detail;
  ResultKind Kind = ResultKind::None;
  SharedText ValueData;
  int ImageIndex = -1;
  std::int64_t Size = 0;  // what the "大小" row says; 0 without one
  bool SizeCounted = false;  // Size is part of the scan's size total
  DetailRows Rows;
  // The registry view a registry item lives in (64-bit Windows); Default: the program's own.
  sys::RegView View = sys::RegView::Default;

  bool IsRegistryItem() const { return Kind == ResultKind::Registry; }
};

// The result image list: at every scan a copy of the option icons (so numbers 0-55 are
// shared with the option tree), to which scanners append file icons.
class ResultImages {
 public:
  ResultImages() = default;
  ResultImages(const ResultImages&) = delete;
  ResultImages& operator=(const ResultImages&) = delete;

  // Empties the list and fills it with a copy of `options` (may be null).
  void Reset(HIMAGELIST options);
  // The new image's number, or -1. Called on the main thread only (the finder's
  // hand-over is synchronised), so painting never sees a list being changed.
  int Append(HICON icon);
  // The file's small shell icon (the shared Windows logo when the shell has none),
  // appended; its number, or -1.
  int AppendFileIcon(const std::wstring& path);
  HIMAGELIST Handle() const { return list_.get(); }
  int Count() const;

 private:
  sys::ScopedImageList list_;
};

class ResultModel {
 public:
  ResultModel();
  ResultModel(const ResultModel&) = delete;
  ResultModel& operator=(const ResultModel&) = delete;

  // The result tree (VTTraceResult shows it).
  model::TreeModel& Tree() { return tree_; }
  const model::TreeModel& Tree() const { return tree_; }

  // Adds a node to `tree` below `parent` (null: a top-level item, which gets a checked
  // check box and the focus). Nothing is added without a tree or once a clean has
  // finished (Cleaned()). Returns the new node or null. Afterwards the count text of
  // the result tree is reported through OnCountText.
  model::TreeNode* AddResultNode(model::TreeModel* tree, const std::wstring& text, model::TreeNode* parent,
                              int imageIndex, ResultKind kind, const std::wstring& detail,
                              const std::wstring& location);
  // A detail row under a top-level item of the result tree, kept in the item's record (a
  // node only while the item is expanded or walked). A "大小" row that reads "<size>
  // Byte" becomes the item's size.
  void AddRow(model::TreeNode* item, const std::wstring& label, const std::wstring& value,
              int imageIndex);
  // The rows an item shows, as the row nodes carry them.
  static std::vector<ResultItem> RowsOf(const ResultItem& item);
  static std::wstring SizeText(std::int64_t bytes);  // "123 Byte"
  // The same with the whole record (a registry item keeps its value data). Below a
  // parent, and in AddResultNode too, the record becomes a row and its node is returned.
  model::TreeNode* AddResultItem(model::TreeModel* tree, model::TreeNode* parent, const ResultItem& item);
  // A registry finding with its rows "键名", "键值或分析结果" and "说明"; nothing when the
  // root name or the key path is empty.
  model::TreeNode* AddKeyedResult(const std::wstring& rootName, const std::wstring& keyPath,
                               int imageIndex, const std::wstring& description,
                               const std::wstring& valueData, const std::wstring& valueName,
                               sys::RegView view = sys::RegView::Default);

  // Number of top-level items; detail rows do not count. O(1).
  int ItemCount() const { return int(tree_.TopLevelCount()); }
  // Estimated bytes of the findings of this scan (64-bit; reset at each scan).
  std::int64_t SizeTotal() const { return sizeTotal_; }
  void AddSize(std::int64_t bytes) { sizeTotal_ += bytes; }
  // The bytes of one item (null: nothing): only a counted item's size is taken back from
  // the total when its delete fails.
  void AddSize(model::TreeNode* item, std::int64_t bytes);
  // The item's bytes reach the total another way (the finder's sum).
  static void MarkSizeCounted(model::TreeNode* item);
  void ResetSize() { sizeTotal_ = 0; }
  // Set when a clean has finished; never cleared while the program runs.
  bool Cleaned() const { return cleaned_; }
  void SetCleaned() { cleaned_ = true; }
  // Empties the tree (the count text is reported again).
  void Clear();
  // How often the tree was emptied: a caller that keeps a node across a message pump
  // checks this did not change before it uses the node again.
  unsigned Clears() const { return clears_; }
  // Removes one node with its rows (the count text is reported again).
  void Remove(model::TreeNode* node);

  ResultImages& Images() { return images_; }

  // " 已扫描到: %d个清理项" for status panel 1.
  std::function<void(const std::wstring&)> OnCountText;
  static std::wstring CountText(int count);

  // While one lives, the count text is reported at the first change and once at the end
  // instead of after every node: a hand-over of many findings then sets the status bar
  // (which repaints at once) twice, not three times per finding.
  class CountBatch {
   public:
    explicit CountBatch(ResultModel& model);
    ~CountBatch();
    CountBatch(const CountBatch&) = delete;
    CountBatch& operator=(const CountBatch&) = delete;

   private:
    ResultModel& model_;
  };

 private:
  void ReportCount();
  SharedText ShareLocation(const std::wstring& location);
  DetailRows ShareRows(std::vector<DetailRow> rows);
  SharedText lastLocation_;
  std::vector<DetailRows> recentRows_;
  int countBatches_ = 0;
  bool batchReported_ = false;
  bool countPending_ = false;
  model::TreeModel tree_;
  ResultImages images_;
  std::int64_t sizeTotal_ = 0;
  bool cleaned_ = false;
  unsigned clears_ = 0;
};

}  // namespace catalogue
