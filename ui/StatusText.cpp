// A status bar's latest texts, held until the next pump (see SetStatusText).
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/Widgets.h"

namespace ui {
namespace {

struct HeldTexts {
  HWND bar = nullptr;
  WNDPROC barProc = nullptr;
  std::map<int, std::wstring> texts;  // by panel
  bool posted = false;  // a give message or the timer is on its way
  DWORD lastGiven = 0;
};

// Nobody reads more than a few texts a second, and each one the bar takes is painted.
constexpr DWORD kGiveMillis = 100;
constexpr UINT_PTR kGiveTimer = 0x5645;

// Status bars live on the main thread only; a program has one or two.
std::vector<std::unique_ptr<HeldTexts>>& Bars() {
  static std::vector<std::unique_ptr<HeldTexts>> bars;
  return bars;
}

HeldTexts* Find(HWND bar) {
  for (auto& b : Bars())
    if (b->bar == bar) return b.get();
  return nullptr;
}

UINT GiveMessage() {
  static const UINT message = RegisterWindowMessageW(L"VelmoraGiveStatusTexts");
  return message;
}

void Give(HeldTexts& held) {
  if (held.texts.empty()) return;
  held.lastGiven = GetTickCount();
  std::map<int, std::wstring> texts;
  texts.swap(held.texts);
  for (const auto& t : texts)
    CallWindowProcW(held.barProc, held.bar, SB_SETTEXTW, WPARAM(t.first),
                    reinterpret_cast<LPARAM>(t.second.c_str()));
}

LRESULT CALLBACK HoldingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  HeldTexts* held = Find(hwnd);
  if (!held) return DefWindowProcW(hwnd, msg, wp, lp);
  const WNDPROC barProc = held->barProc;
  if (msg == GiveMessage() || (msg == WM_TIMER && wp == kGiveTimer)) {
    if (msg == WM_TIMER) KillTimer(hwnd, kGiveTimer);
    held->posted = false;
    Give(*held);
    return 0;
  }
  switch (msg) {
    case SB_GETTEXTW:
    case SB_GETTEXTA:
    case SB_GETTEXTLENGTHW:
    case SB_GETTEXTLENGTHA:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      Give(*held);
      break;
    case SB_SETTEXTW:
    case SB_SETTEXTA:
      // A text set directly is newer than the one held for its panel. (Texts given from
      // here go to the bar's own procedure, past this one.)
      held->texts.erase(LOBYTE(LOWORD(wp)));
      break;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(barProc));
      auto& bars = Bars();
      for (auto it = bars.begin(); it != bars.end(); ++it)
        if (it->get() == held) {
          bars.erase(it);
          break;
        }
      break;
    }
  }
  return CallWindowProcW(barProc, hwnd, msg, wp, lp);
}

HeldTexts& Hold(HWND bar) {
  auto held = std::make_unique<HeldTexts>();
  held->bar = bar;
  held->barProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HoldingProc)));
  Bars().push_back(std::move(held));
  return *Bars().back();
}

}  // namespace

void SetStatusText(HWND stat, int panel, const std::wstring& text) {
  HeldTexts* found = Find(stat);
  if (!found && !IsWindow(stat)) return;
  HeldTexts& held = found ? *found : Hold(stat);
  held.texts[panel] = text;
  if (held.posted) return;
  // Given at the next pump, or once the last text has been shown long enough.
  const DWORD since = GetTickCount() - held.lastGiven;
  held.posted = since >= kGiveMillis
                    ? PostMessageW(stat, GiveMessage(), 0, 0) != FALSE
                    : SetTimer(stat, kGiveTimer, kGiveMillis - since, nullptr) != 0;
  // With the queue full the text is given at once rather than lost.
  if (!held.posted) Give(held);
}

}  // namespace ui
