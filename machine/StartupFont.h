// The program's interface font, chosen once at start-up.
#pragma once
#include <windows.h>

#include <string>

namespace machine {

// Sets the face name, character set and height of the program's interface font:
// "微软雅黑" when font smoothing is on and that font is installed, else "宋体".
struct StartupFont {
  LONG height = -12;
  BYTE charset = GB2312_CHARSET;  // 134
};
StartupFont& AppStartupFont();
void ApplyUIFont(LOGFONTW& font, int majorVersion);
bool FontInstalled(const std::wstring& face);

}  // namespace machine
