#include "app/NotesFeed.h"

#include <memory>

#include "app/IniPackage.h"
#include "app/MainUnit.h"
#include "app/Statistics.h"
#include "stand-ins/Halvane0.h"
#include "sys/FileSearch.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"

namespace app {

const wchar_t kLogHeader[] = L"官方日志";
const wchar_t kProductSite[] = L"http://velmora.example/";

namespace {
const wchar_t kFeedSection[] = L"Sorvex";
const wchar_t kNoteSection[] = L"Note";
const wchar_t kNoteKey[] = L"Cleaner";

// The library takes an ANSI path; a folder name outside the code page goes by its short
// name, which is plain ASCII.
std::string AnsiPath(const std::wstring& path) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0,
                              nullptr, &lossy);
  std::wstring use = path;
  if (lossy) {
    wchar_t shortPath[MAX_PATH];
    DWORD len = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (len > 0 && len < MAX_PATH) use.assign(shortPath, len);
  } else if (n <= 0) {
    return {};
  }
  return sys::ToAnsi(use);
}

std::wstring Clip(const std::wstring& s, std::size_t max) {
  return s.size() > max ? s.substr(0, max) : s;
}

std::wstring LinkOrNothing(std::wstring link) {
  if (link.size() > kMaxLinkChars) link.clear();
  return link;
}

bool IsLogHeader(const model::TreeNode* node) {
  const LogEntry* e = node ? node->DataAs<LogEntry>() : nullptr;
  return e && !node->Parent() && e->Title == kLogHeader;
}
}  // namespace

bool CallGetMemIniFile(const char* fileName, TStreamIniFile*& ini) {
  return GetMemIniFile(fileName, ini);
}

std::wstring NotesFeedPath() { return ProgramFolderFile(L"Log.dat"); }

NotesFeed ReadNotesFeed(const std::wstring& path, const GetMemIniFileFn& getMemIniFile) {
  NotesFeed feed;
  if (!sys::FileExists(path)) return feed;
  std::unique_ptr<TStreamIniFile> ini(new TStreamIniFile());
  TStreamIniFile* held = ini.get();
  try {
    if (!getMemIniFile(AnsiPath(path).c_str(), held)) return feed;
  } catch (...) {
    // The object is read in whatever state the call left it.
  }
  // An object the library put in its place is not ours to read or free.
  if (held != ini.get()) return feed;

  for (const std::wstring& key : ini->ReadSection(kFeedSection)) {
    if (feed.entries.size() == kMaxLogEntries) break;
    std::size_t bar = key.find(L'|');
    LogEntry e;
    e.Title = Clip(key.substr(0, bar), kMaxTitleChars);
    if (bar != std::wstring::npos) e.Colour = Clip(key.substr(bar + 1), kMaxTitleChars);
    e.Link = LinkOrNothing(ini->ReadString(kFeedSection, key, L""));
    feed.entries.push_back(std::move(e));
  }
  for (const std::wstring& key : ini->ReadSection(kNoteSection)) {
    if (feed.noteLines.size() == kMaxNoteLines) break;
    std::size_t bar = key.find(L'|');
    if (bar == std::wstring::npos || key.compare(0, bar, kNoteKey) != 0) continue;
    feed.noteLink = LinkOrNothing(ini->ReadString(kNoteSection, key, L""));
    feed.noteLines.push_back(Clip(key.substr(bar + 1), kMaxNoteChars));
  }
  return feed;
}

void ApplyLogColour(const std::wstring& name, COLORREF& color) {
  static const struct {
    const wchar_t* name;
    COLORREF color;
  } kColours[] = {{L"", RGB(0, 128, 0)},         {L"clRed", RGB(255, 0, 0)},
                  {L"clNavy", RGB(0, 0, 128)},    {L"clBlack", RGB(0, 0, 0)},
                  {L"clPurple", RGB(128, 0, 128)}, {L"clTeal", RGB(0, 128, 128)},
                  {L"clBlue", RGB(0, 0, 255)},    {L"clLime", RGB(0, 255, 0)}};
  for (const auto& c : kColours)
    if (name == c.name) color = c.color;
}

bool IsWebAddress(const std::wstring& address) {
  std::wstring lower = sys::LowerCase(address);
  std::size_t scheme = sys::StartsWith(lower, L"http://")    ? 7
                       : sys::StartsWith(lower, L"https://") ? 8
                                                             : 0;
  if (scheme == 0 || address.size() <= scheme || address.size() > kMaxLinkChars) return false;
  for (wchar_t c : address)
    if (c <= L' ' || c == L'"' || c == 0x7F) return false;
  return true;
}

void OpenUrl(const std::wstring& address) {
  if (!IsWebAddress(address)) return;
  machine::SystemSeams& seams = machine::Seams();
  try {
    if (seams.shellOpen && seams.shellOpen(address) > 32) return;
    if (!machine::InternetExplorerPath.empty() && seams.shellOpenWith)
      seams.shellOpenWith(machine::InternetExplorerPath, address);
  } catch (...) {
    // A link that cannot be opened leaves the window as it was: the feed is only a note.
  }
}

// --- the window's side ---------------------------------------------------------------

void TFormSorvex::SetupLogTree() {
  vtLog.SetColumns({{L"", 190, DT_LEFT, false}});
  vtLog.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const LogEntry* e = node->DataAs<LogEntry>();
    if (!e) return {};
    return column == 0 ? e->Title : column == 1 ? e->Link : std::wstring();
  };
  vtLog.OnPaintText = [](model::TreeNode* node, int column, LOGFONTW& font, COLORREF& color) {
    const LogEntry* e = node->DataAs<LogEntry>();
    if (!e || column != 0) return;
    if (IsLogHeader(node)) {
      color = RGB(0, 0, 128);
      font.lfWeight = FW_BOLD;
      return;
    }
    font.lfUnderline = TRUE;
    ApplyLogColour(e->Colour, color);
  };
  vtLog.OnCollapsing = [](model::TreeNode*) { return false; };
  vtLog.OnMouseMove = [this](const ui::TreeHit& hit) { VTLogMouseMove(hit); };
  vtLog.OnMouseDown = [this](ui::MouseButton, const ui::TreeHit& hit) { VTLogMouseDown(hit); };
  vtLog.OnGetCursor = [this](const ui::TreeHit& hit) {
    return OnLogLink(hit) ? handCursor_ : nullptr;
  };
}

bool TFormSorvex::OnLogLink(const ui::TreeHit& hit) const {
  if (!hit.node || !hit.node->DataAs<LogEntry>() || IsLogHeader(hit.node)) return false;
  return hit.column == 0 && hit.pt.x < hit.textRight;
}

void TFormSorvex::VTLogMouseMove(const ui::TreeHit& hit) {
  SetCursor(OnLogLink(hit) ? handCursor_ : LoadCursorW(nullptr, IDC_ARROW));
}

void TFormSorvex::VTLogMouseDown(const ui::TreeHit& hit) {
  if (OnLogLink(hit)) OpenUrl(hit.node->DataAs<LogEntry>()->Link);
}

void TFormSorvex::LoadNotesFeed() {
  model::TreeModel& tree = vtLog.Model();
  tree.Clear();
  HWND memo = c_.noteMemo;
  SetWindowTextW(memo, L"");
  NotesFeed feed = ReadNotesFeed(notesFeedFile, getMemIniFile);
  if (!feed.entries.empty()) {
    model::TreeNode* header = tree.Append(nullptr, LogEntry{kLogHeader, L"", L""});
    for (LogEntry& e : feed.entries) tree.Append(header, std::move(e));
    tree.SetExpanded(header, true);
  }
  if (feed.noteLines.empty()) return;
  SetWindowTextW(c_.label16, L"使用说明");
  SetWindowTextW(c_.label17, L"了解详情");
  label17Link = feed.noteLink;
  std::wstring text;
  for (std::size_t i = 0; i < feed.noteLines.size(); ++i)
    text += (i ? L"\r\n" : L"") + feed.noteLines[i];
  SetWindowTextW(memo, text.c_str());
  SendMessageW(memo, WM_VSCROLL, SB_TOP, 0);
}

void TFormSorvex::NoteMemoEnter() { SetFocus(c_.panel3); }

void TFormSorvex::Label13Click() { OpenUrl(kProductSite); }

void TFormSorvex::Label17Click() {
  if (!label17Link.empty()) OpenUrl(label17Link);
}

}  // namespace app
