// The icons of file names by extension: the cache list's set and the file finder's.
#include <gtest/gtest.h>

#include "catalogue/Images.h"

using namespace catalogue;

TEST(ImageForExtensionTest, MapsKnownExtensionsCaseInsensitively) {
  struct Case {
    const wchar_t* name;
    int image;
  } cases[] = {
      {L"a.txt", 6},      {L"B.LOG", 6},       {L"p.JPeg", 40},  {L"x.raw", 40},
      {L"s.js", 44},      {L"s.jse", 44},      {L"c.ini", 45},   {L"c.INF", 45},
      {L"a.7z", 18},      {L"a.iso", 18},      {L"a.zip", 26},   {L"h.chm", 54},
      {L"a.exe", 10},     {L"noext", 10},      {L"dir.txt\\file", 10},
      {L"http://x/y.gif", 40}, {L"arch.tar.gz", 18},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.image, ImageForExtension(c.name, 10, ExtensionIcons::CacheEntries)) << c.name;
}

// The finder tells libraries, pages, temporary files, media and error reports apart; a
// cache entry of those kinds keeps the fallback. Both sets agree on everything else.
TEST(ImageForExtensionTest, TheFinderKnowsMoreKindsThanTheCacheList) {
  struct Case {
    const wchar_t* name;
    int found, cached;
  } cases[] = {
      {L"x.DLL", kImageLibrary, 99},  {L"p.html", kImageWebPage, 99},
      {L"t.tmp", kImageDefaultFile, 99}, {L"m.mp3", kImageMedia, 99},
      {L"r.wer", kImageErrorReport, 99}, {L"a.log", kImageTextFile, kImageTextFile},
      {L"a.cab", kImageArchive, kImageArchive}, {L"a.exe", 99, 99},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.found, ImageForExtension(c.name, 99, ExtensionIcons::FoundFiles)) << c.name;
    EXPECT_EQ(c.cached, ImageForExtension(c.name, 99, ExtensionIcons::CacheEntries)) << c.name;
  }
}
