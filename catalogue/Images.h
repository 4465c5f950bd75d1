// The numbers of the 56 option icons (the program's image strip). The result image list
// starts as a copy of them, so results use the same numbers; file icons come after.
#pragma once
#include <string>

namespace catalogue {

// A scanner may say `using namespace catalogue::images;` for the names alone.
inline namespace images {

constexpr int kImageSystemTraces = 0;
constexpr int kImageRunBox = 1;
constexpr int kImageProgramsRun = 2;
constexpr int kImageFolder = 3;
constexpr int kImageWindows = 4;
constexpr int kImageFindComputer = 5;
constexpr int kImageTextFile = 6;
constexpr int kImageDefaultFile = 7;
constexpr int kImageMenu = 8;
constexpr int kImageInternetExplorer = 9;
constexpr int kImageWebPage = 10;
constexpr int kImageApplications = 11;
constexpr int kImagePaint = 12;
constexpr int kImageWordPad = 13;
constexpr int kImageMediaPlayer = 14;
constexpr int kImageFrontPage = 15;
constexpr int kImagePowerPoint = 16;
constexpr int kImageExcel = 17;
constexpr int kImageArchive = 18;
constexpr int kImageRegistry = 19;
constexpr int kImageDetail = 20;
constexpr int kImageWord = 21;
constexpr int kImageRealPlayer = 22;
constexpr int kImageVideoList = 23;
constexpr int kImageEditPlus = 24;
constexpr int kImageUltraEdit = 25;
constexpr int kImageZip = 26;
constexpr int kImageEventLog = 27;
constexpr int kImageCookies = 28;
constexpr int kImageMyIE2 = 29;
constexpr int kImageStorm = 30;
constexpr int kImageKuGoo = 31;
constexpr int kImageMaxthon = 32;
constexpr int kImageKMPlayer = 33;
constexpr int kImageFirefoxData = 34;
constexpr int kImageFirefox = 35;
constexpr int kImageOperaData = 36;
constexpr int kImageOpera = 37;
constexpr int kImageChrome = 38;
constexpr int kImageInternetFiles = 39;
constexpr int kImagePicture = 40;
constexpr int kImageLibrary = 41;
constexpr int kImageMedia = 42;
constexpr int kImageTempFolder = 43;
constexpr int kImageScript = 44;
constexpr int kImageSettingsFile = 45;
constexpr int kImageRecycleBin = 46;
constexpr int kImageErrorReport = 47;
constexpr int kImageDeadShortcut = 48;
constexpr int kImageSymantec = 49;
constexpr int kImageAcrobat = 50;
constexpr int kImageOffice = 51;
constexpr int kImageDefender = 52;
constexpr int kImageFlash = 53;
constexpr int kImageHelp = 54;
constexpr int kImageActiveX = 55;
constexpr int kOptionImageCount = 56;

}  // namespace images

// Which extensions get an icon of their own. A cache entry keeps the web-page default for
// programs, libraries, media and temporary files, which the file finder tells apart.
enum class ExtensionIcons { CacheEntries, FoundFiles };

// The icon of a file name by its extension (case-insensitive), or `fallback`.
int ImageForExtension(const std::wstring& name, int fallback, ExtensionIcons set);

}  // namespace catalogue
