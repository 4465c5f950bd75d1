#include "catalogue/Images.h"

#include <initializer_list>

#include "sys/FileUtils.h"

namespace catalogue {

namespace {

struct ExtensionRow {
  int image;
  bool forCacheEntries;
  std::initializer_list<const wchar_t*> extensions;
};

// No extension stands in two rows.
const ExtensionRow kExtensionImages[] = {
    {kImageTextFile, true, {L".txt", L".log"}},
    {kImagePicture,
     true,
     {L".jpg", L".jpeg", L".bmp", L".gif", L".icl", L".ico", L".pic", L".pcx", L".png", L".psd",
      L".emf", L".raw"}},
    {kImageHelp, true, {L".hlp", L".chm"}},
    {kImageLibrary, false, {L".dll", L".vxd", L".ocx", L".db"}},
    {kImageWebPage, false, {L".htm", L".html", L".url"}},
    {kImageScript, true, {L".js", L".jse"}},
    {kImageSettingsFile, true, {L".css", L".ini", L".inf"}},
    {kImageDefaultFile, false, {L".tmp", L".mtx", L".gid"}},
    {kImageMedia,
     false,
     {L".avi", L".wmv", L".asf", L".asx", L".mp3", L".mpg", L".mpeg", L".mp4", L".wma", L".wmp",
      L".wmx"}},
    {kImageArchive, true, {L".rar", L".cab", L".7z", L".gz", L".iso"}},
    {kImageZip, true, {L".zip"}},
    {kImageErrorReport, false, {L".wer"}},
};

}  // namespace

int ImageForExtension(const std::wstring& name, int fallback, ExtensionIcons set) {
  const std::wstring ext = sys::ExtensionOf(name);
  if (ext.empty()) return fallback;
  for (const ExtensionRow& row : kExtensionImages) {
    if (set == ExtensionIcons::CacheEntries && !row.forCacheEntries) continue;
    for (const wchar_t* e : row.extensions)
      if (ext == e) return row.image;
  }
  return fallback;
}

}  // namespace catalogue
