// Shows sample trees the way the main window uses them, to look at the painting:
// show_virtualtree [milliseconds] (default: until closed).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/VirtualTree.h"

namespace {

struct Row {
  std::wstring c0, c1;
  int image = -1;
  COLORREF color = CLR_NONE;
  bool bold = false, underline = false;
};

HIMAGELIST MakeImages() {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0);
  const COLORREF colours[] = {RGB(30, 120, 220), RGB(230, 150, 20), RGB(40, 160, 60),
                              RGB(200, 40, 40)};
  HDC screen = GetDC(nullptr);
  for (COLORREF c : colours) {
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 16, 16};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, magenta);
    DeleteObject(magenta);
    HBRUSH fill = CreateSolidBrush(c);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    RoundRect(dc, 1, 2, 15, 14, 4, 4);
    SelectObject(dc, oldBrush);
    DeleteObject(fill);
    SelectObject(dc, old);
    ImageList_AddMasked(list, bmp, RGB(255, 0, 255));
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  ReleaseDC(nullptr, screen);
  return list;
}

void Wire(ui::VirtualTree& t, HIMAGELIST images) {
  t.SetImages(images);
  t.OnGetText = [](model::TreeNode* n, int column) {
    const Row* r = n->DataAs<Row>();
    return column == 0 ? r->c0 : r->c1;
  };
  t.OnGetImageIndex = [](model::TreeNode* n, int column) {
    return column == 0 ? n->DataAs<Row>()->image : -1;
  };
  t.OnPaintText = [](model::TreeNode* n, int, LOGFONTW& lf, COLORREF& c) {
    const Row* r = n->DataAs<Row>();
    if (r->color != CLR_NONE) c = r->color;
    if (r->bold) lf.lfWeight = FW_BOLD;
    if (r->underline) lf.lfUnderline = TRUE;
  };
}

model::TreeNode* Add(model::TreeModel& m, model::TreeNode* parent, Row row,
                  model::CheckType type = model::CheckType::None) {
  model::TreeNode* n = m.Append(parent, std::move(row));
  m.SetCheckType(n, type);
  return n;
}

void FillOptions(model::TreeModel& m) {
  using model::CheckState;
  using model::CheckType;
  model::TreeNode* g1 = Add(m, nullptr, {L"网络临时文件", L"", 0}, CheckType::TriStateCheckBox);
  model::TreeNode* ie = Add(m, g1, {L"Internet Explorer 清理", L"", 1}, CheckType::TriStateCheckBox);
  model::TreeNode* cache = Add(m, ie, {L"IE缓存", L"推荐", 1}, CheckType::CheckBox);
  Add(m, cache, {L"全部IE缓存", L"", 1}, CheckType::RadioButton);
  model::TreeNode* mode1 = Add(m, cache, {L"IE缓存(不包括IE Cookie)", L"", 1}, CheckType::RadioButton);
  Add(m, cache, {L"IE缓存(不包括IE Cookie和IE历史记录)", L"", 1}, CheckType::RadioButton);
  Add(m, ie, {L"IE地址栏中的历史网址记录", L"可选", 1}, CheckType::CheckBox);
  Add(m, ie, {L"清理表单自动完成历史记录", L"单击立即清除", 1}, CheckType::CheckBox);
  model::TreeNode* ff = Add(m, g1, {L"FireFox 清理", L"", 2}, CheckType::TriStateCheckBox);
  model::TreeNode* ffh = Add(m, ff, {L"FireFox 浏览历史", L"推荐", 2}, CheckType::CheckBox);
  Add(m, ff, {L"FireFox Cookies", L"可选", 2}, CheckType::CheckBox);
  model::TreeNode* g2 =
      Add(m, nullptr, {L"系统历史痕迹和临时文件", L"", 3}, CheckType::TriStateCheckBox);
  model::TreeNode* tmp = Add(m, g2, {L"临时文件", L"推荐", 3}, CheckType::CheckBox);
  Add(m, g2, {L"通知区域图标历史记录", L"可选(需重启Explorer)", 3}, CheckType::CheckBox);
  model::TreeNode* g3 = Add(m, nullptr, {L"注册表", L"", 0}, CheckType::TriStateCheckBox);
  Add(m, g3, {L"冗余动态链接库", L"推荐", 0}, CheckType::CheckBox);
  m.SetCheckState(cache, CheckState::Checked);
  m.SetCheckState(mode1, CheckState::Checked);
  m.SetCheckState(ffh, CheckState::Checked);
  m.SetCheckState(tmp, CheckState::Checked);
  m.SetCheckState(g3, CheckState::Checked);
  for (model::TreeNode* n : {g1, ie, cache, ff, g2}) m.SetExpanded(n, true);
  m.SetFocused(tmp);
}

void FillResults(model::TreeModel& r) {
  for (int i = 0; i < 40; ++i) {
    model::TreeNode* item =
        Add(r, nullptr, {L"HKEY_CURRENT_USER", L"Software\\Demo\\Key" + std::to_wstring(i), 0});
    Add(r, item, {L"键名", L"Value" + std::to_wstring(i), 2});
    Add(r, item, {L"键值或分析结果", L"C:\\Missing\\file.dll", 3});
    if (i == 1) r.SetExpanded(item, true);
    if (i == 2) r.SetFocused(item);
  }
}

Row Heading() {
  Row head{L"一键清理的项目有：", L""};
  head.color = RGB(0, 0, 128);
  head.bold = true;
  return head;
}

void FillClean(model::TreeModel& c) {
  model::TreeNode* root = Add(c, nullptr, Heading());
  Add(c, root, {L"网络临时文件", L"扫描完成", 0});
  Add(c, root, {L"系统历史痕迹和临时文件", L"正在扫描中...", 3});
  Add(c, root, {L"应用程序历史记录", L"", 1});
  c.SetExpanded(root, true);
}

void FillLog(model::TreeModel& l) {
  model::TreeNode* news = Add(l, nullptr, Heading());
  l.SetData(news, Row{L"官方日志", L"", -1, RGB(0, 0, 128), true, false});
  const COLORREF colours[] = {RGB(0, 128, 0), RGB(255, 0, 0), RGB(0, 0, 255)};
  for (int i = 0; i < 3; ++i)
    Add(l, news,
        Row{L"新版本发布说明 " + std::to_wstring(i + 1), L"", -1, colours[i], false, true});
  l.SetExpanded(news, true);
}

// Serves the window until it closes or `ms` milliseconds have passed (0: until it closes).
void RunFor(HWND host, int ms) {
  DWORD start = GetTickCount();
  MSG msg;
  while (IsWindow(host)) {
    if (ms > 0 && GetTickCount() - start > static_cast<DWORD>(ms)) break;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmd, int) {
  int ms = cmd && *cmd ? _wtoi(cmd) : 0;
  HWND host = CreateWindowExW(0, L"STATIC", L"VirtualTree",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1000, 560,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体");
  HIMAGELIST images = MakeImages();

  ui::VirtualTree options;
  options.Create(host, 1, 8, 8, 380, 300);
  SendMessageW(options.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  options.SetColumns({{L"", 249, DT_LEFT, true}, {L"", 10, DT_CENTER, false}});
  options.SetAutoSizeColumn(1);
  Wire(options, images);
  FillOptions(options.Model());

  ui::VirtualTree results;
  results.Create(host, 2, 400, 8, 580, 300);
  SendMessageW(results.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  results.SetColumns({{L"项目", 186, DT_LEFT, false}, {L"值", 298, DT_LEFT, false}});
  results.SetHeaderVisible(true);
  results.SetFullRowSelect(true);
  Wire(results, images);
  results.OnGetImageIndex = [](model::TreeNode* n, int column) {
    return (n->Parent() ? 1 : 0) == column ? n->DataAs<Row>()->image : -1;
  };
  FillResults(results.Model());

  ui::VirtualTree clean;
  clean.Create(host, 3, 8, 320, 380, 190, ui::VirtualTree::kDefaultStyle, 0);
  SendMessageW(clean.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  clean.SetColumns({{L"", 170, DT_LEFT, false}, {L"", 203, DT_RIGHT, false}});
  Wire(clean, images);
  FillClean(clean.Model());

  ui::VirtualTree log;
  log.Create(host, 4, 400, 320, 190, 190);
  SendMessageW(log.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  log.SetColumns({{L"", 190, DT_LEFT, false}});
  Wire(log, images);
  log.OnGetCursor = [](const ui::TreeHit& h) {
    return h.node && h.node->Parent() && h.onText ? LoadCursorW(nullptr, IDC_HAND) : nullptr;
  };
  FillLog(log.Model());

  SetFocus(options.Handle());
  RunFor(host, ms);
  if (IsWindow(host)) DestroyWindow(host);
  ImageList_Destroy(images);
  DeleteObject(font);
  return 0;
}
