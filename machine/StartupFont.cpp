#include "machine/StartupFont.h"

#include "sys/Handles.h"
#include "sys/Registry.h"

namespace machine {

using sys::RegKey;

StartupFont& AppStartupFont() {
  static StartupFont font;
  return font;
}

static int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(const std::wstring& face) {
  LOGFONTW lf = {};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  sys::WindowDc screen(nullptr);
  bool found = false;
  EnumFontFamiliesExW(screen.get(), &lf, FontFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

static bool FontSmoothingOn(int majorVersion) {
  if (majorVersion > 5) return true;
  BOOL on = FALSE;
  if (SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &on, 0)) return on != FALSE;
  RegKey k;
  if (k.OpenRead(HKEY_CURRENT_USER, L"Control Panel\\Desktop") != ERROR_SUCCESS) return false;
  return k.ReadString(L"FontSmoothing") == L"2";
}

void ApplyUIFont(LOGFONTW& font, int majorVersion) {
  const wchar_t* face =
      FontSmoothingOn(majorVersion) && FontInstalled(L"微软雅黑") ? L"微软雅黑" : L"宋体";
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  font.lfCharSet = AppStartupFont().charset;
  font.lfHeight = AppStartupFont().height;
}

}  // namespace machine
