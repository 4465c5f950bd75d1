// A settings file that cannot be written, in a real window: the user is told which file
// and why, the clean done stays done, and the program goes on.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/MainUnit.h"
#include "sys/FileSearch.h"
#include "sys/Text.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Sandbox.h"

using testsupport::TextOf;

namespace {

enum class Unwritable { Folder, OpenElsewhere };
enum class Clean { OneKey, Advanced };

struct Box {
  std::wstring text;
  UINT type;
  std::wstring headline;  // Label4 when the box came
};

using Case = std::tuple<Unwritable, Clean>;

class UnwritableSettingsTest : public testsupport::FormTest,
                               public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->messageBox = [this](const std::wstring& text, UINT type) {
      shown.push_back({text, type, TextOf(form->Component(L"Label4"))});
      return IDOK;
    };
    if (std::get<0>(GetParam()) == Unwritable::Folder) {
      ASSERT_TRUE(CreateDirectoryW(form->settingsFile.c_str(), nullptr));
    } else {
      // Another program holds it open without sharing.
      holder = CreateFileW(form->settingsFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    }
  }
  void TearDown() override {
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    FormTest::TearDown();
  }
  // The boxes about the settings file since the last call.
  std::vector<Box> TakeFailureBoxes() {
    std::vector<Box> failures;
    for (const Box& b : shown)
      if (sys::Contains(b.text, form->settingsFile)) failures.push_back(b);
    shown.clear();
    return failures;
  }
  std::vector<Box> shown;
  HANDLE holder = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST_P(UnwritableSettingsTest, TheUserIsToldWhichFileAndWhyAndTheProgramGoesOn) {
  Tick(L"临时文件");
  std::wstring junk = sandbox.file(L"Temp\\old.tmp", "12345678");
  std::wstring done;
  if (std::get<1>(GetParam()) == Clean::OneKey) {
    Click(app::idLabel10, L"Label10");
    RunUntilIdle();
    done = L"恭喜您！已成功清理了垃圾文件和上网痕迹。";
    EXPECT_EQ(done, TextOf(form->Component(L"Label4")));
  } else {
    Click(app::idBtnOverview, L"BtnOverview");
    Click(app::idButtonScanTrace, L"ButtonScanTrace");
    RunUntilIdle();
    okCancelAnswer = IDOK;
    Click(app::idButtonDelAllTrace, L"ButtonDelAllTrace");
    EXPECT_EQ(L"清理完毕！", Panel(0));
  }
  EXPECT_FALSE(sys::FileExists(junk));
  std::vector<Box> failures = TakeFailureBoxes();
  ASSERT_EQ(1u, failures.size());
  EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), failures[0].type);
  EXPECT_TRUE(sys::Contains(failures[0].text, L"原因：")) << sys::ToUtf8(failures[0].text);
  // One-key mode asks nothing while it runs: the message comes once the run is over.
  if (!done.empty()) {
    EXPECT_EQ(done, failures[0].headline);
  }
  EXPECT_FALSE(form->Destroyed());
  EXPECT_FALSE(form->PendingFatal());

  // The options at the close: told, and the window closes all the same.
  SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(1u, TakeFailureBoxes().size());
  EXPECT_TRUE(form->Destroyed());
  EXPECT_FALSE(form->PendingFatal());
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnwritableSettingsTest,
                         ::testing::Combine(::testing::Values(Unwritable::Folder,
                                                              Unwritable::OpenElsewhere),
                                            ::testing::Values(Clean::OneKey, Clean::Advanced)));
