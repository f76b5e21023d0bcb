// The taskbar button under Wine: the ITaskbarList3 made once the window's
// button exists, and every state the job gives it accepted without error.
// Wine's taskbar object takes these calls and shows nothing; what a real
// taskbar shows rests on Windows.
// clang-format off
#include <windows.h>
// clang-format on

#include "platform/taskbar.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ui.h"
#include "platform/win32/taskbar.h"
#include "wine_support.h"

namespace {

using winetest::pump;

constexpr int kWindow = 7001;

TEST(Taskbar, EveryStateOfAJobIsAcceptedWithoutError) {
  ASSERT_TRUE(platform::initialise());
  platform::WindowSpec spec;
  spec.title = "Ravelund taskbar test";
  spec.clientWidth = 200;
  spec.clientHeight = 100;
  spec.minimiseBox = true;
  ASSERT_TRUE(platform::openWindow(kWindow, spec));
  pump(300);
  HWND hwnd = FindWindowW(nullptr, L"Ravelund taskbar test");
  ASSERT_NE(hwnd, nullptr);
  // The shell tells a window its button exists; Wine's desktop may not, and
  // then the test tells it as the shell would.
  const bool toldByTheShell = platform::testing::taskbarReport().haveObject;
  std::printf("the shell %s the window that its button exists\n",
              toldByTheShell ? "told" : "did not tell");
  if (!toldByTheShell) {
    SendMessageW(hwnd, platform::testing::taskbarButtonCreatedMessage(), 0, 0);
  }
  const auto made = platform::testing::taskbarReport();
  if (!made.haveObject) {
    // A system without the object: nothing changes, and nothing fails.
    platform::setTaskbarProgress(platform::TaskbarProgress::normal, 50);
    EXPECT_EQ(platform::testing::taskbarReport().calls, 0);
    platform::closeWindow(kWindow);
    platform::releaseAll();
    GTEST_SKIP() << "no ITaskbarList3 in this Wine";
  }
  using platform::TaskbarProgress;
  platform::setTaskbarProgress(TaskbarProgress::indeterminate);
  platform::setTaskbarProgress(TaskbarProgress::normal, 0);
  platform::setTaskbarProgress(TaskbarProgress::normal, 42);
  platform::setTaskbarProgress(TaskbarProgress::paused);
  platform::setTaskbarProgress(TaskbarProgress::normal, 100);
  platform::setTaskbarProgress(TaskbarProgress::error);
  // A click in the window takes the error state away.
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  platform::setTaskbarProgress(TaskbarProgress::none);
  const auto report = platform::testing::taskbarReport();
  EXPECT_GE(report.calls, 8);
  EXPECT_EQ(report.failedCalls, 0) << "last HRESULT " << std::hex << report.lastResult;
  // A box that waits behind another program's window flashes the button;
  // with this window in front it does not.
  SetForegroundWindow(hwnd);
  pump(100);
  const int flashes = report.flashes;
  platform::win32::flashIfNotInFront();
  if (GetForegroundWindow() == hwnd) {
    EXPECT_EQ(platform::testing::taskbarReport().flashes, flashes);
  }
  platform::closeWindow(kWindow);
  platform::releaseAll();
}

}  // namespace
