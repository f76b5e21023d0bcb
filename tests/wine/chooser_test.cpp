// The folder chooser as the user works it: a path typed into its edit box,
// the preselected start folder, and cancelling.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/text.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

constexpr int kEditBox = 0x3745;

std::wstring tempFolder(const wchar_t* name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The chooser's dialog: it carries the title as a label, not as its caption,
// so it is found as this process's dialog with the chooser's edit box.
HWND findChooser() {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumWindows(
      [](HWND hwnd, LPARAM parameter) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (process == GetCurrentProcessId() && lstrcmpW(name, L"#32770") == 0 &&
            GetDlgItem(hwnd, kEditBox)) {
          reinterpret_cast<Search*>(parameter)->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Works the chooser from another thread while the test's thread sits in it.
class ChooserDriver {
 public:
  template <typename Action>
  explicit ChooserDriver(Action action)
      : thread_([this, action] {
          for (int attempt = 0; attempt < 1000 && !found_; ++attempt) {
            HWND dialog = findChooser();
            if (dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, kEditBox)) {
              found_ = true;
              Sleep(200);  // let the dialog finish its own start
              action(dialog);
            }
            Sleep(10);
          }
        }) {}
  ~ChooserDriver() { thread_.join(); }
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

class FolderChooserOnWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { platform::initialise(); }
};

TEST_F(FolderChooserOnWindows, APathTypedIntoTheEditBoxIsTheChosenFolder) {
  const std::wstring typed = tempFolder(L"ravelund-choisi-é");
  ChooserDriver driver([typed](HWND dialog) {
    SendMessageW(GetDlgItem(dialog, kEditBox), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(typed.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  const std::string chosen = platform::chooseFolder("Choisissez une destination", "C:\\");
  EXPECT_TRUE(driver.found());
  EXPECT_EQ(chosen, narrow(typed) + "\\");
  RemoveDirectoryW(typed.c_str());
}

TEST_F(FolderChooserOnWindows, ATypedPathThatIsNoFolderLeavesTheSelection) {
  ChooserDriver driver([](HWND dialog) {
    SendMessageW(GetDlgItem(dialog, kEditBox), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"C:\\pas\\un\\dossier\\ici"));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  const std::string chosen = platform::chooseFolder("Choisissez un dossier à copier", "C:\\windows\\");
  EXPECT_TRUE(driver.found());
  EXPECT_EQ(chosen.find("pas\\un"), std::string::npos);
  // Whatever the tree had selected, the answer is a folder path ending with a backslash.
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back(), '\\');
  const DWORD attributes = GetFileAttributesW(widen(chosen).c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FolderChooserOnWindows, AChosenFolderPastTwoHundredSixtyCharactersIsNeverCut) {
  // Twelve levels of 24 characters: about 300 characters below the temporary folder.
  std::wstring deep = L"\\\\?\\" + tempFolder(L"ravelund-long");
  std::vector<std::wstring> made;
  for (int level = 0; level < 12; ++level) {
    deep += L"\\dossier-assez-long-" + std::to_wstring(1000 + level);
    CreateDirectoryW(deep.c_str(), nullptr);
    made.push_back(deep);
  }
  const std::wstring path = deep.substr(4);
  ASSERT_GT(path.size(), 260u);
  ASSERT_NE(GetFileAttributesW(deep.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::wstring base = path.substr(0, path.find(L"\\dossier-assez-long-"));
  ChooserDriver driver([path, base](HWND dialog) {
    const HWND tree = GetDlgItem(dialog, 0x3741);
    const auto textOf = [tree](HTREEITEM handle) {
      wchar_t text[260] = {};
      TVITEMW item{};
      item.mask = TVIF_TEXT;
      item.hItem = handle;
      item.pszText = text;
      item.cchTextMax = 260;
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      return std::wstring(text);
    };
    const auto caret = [tree] {
      return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    };
    // The start, short enough for the selection message; the first one of a
    // session may be ignored, so it is repeated until the tree follows.
    for (int attempt = 0; attempt < 50 && textOf(caret()) != L"ravelund-long"; ++attempt) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(base.c_str()));
      Sleep(50);
    }
    // Then down the tree by the folders' names, as a user would click.
    std::size_t at = base.size();
    while (at < path.size()) {
      const std::size_t end = path.find(L'\\', at + 1);
      const std::wstring name = path.substr(at + 1, end == std::wstring::npos ? end : end - at - 1);
      at = end == std::wstring::npos ? path.size() : end;
      const HTREEITEM parent = caret();
      SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
      HTREEITEM child =
          reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                   reinterpret_cast<LPARAM>(parent)));
      while (child && textOf(child) != name) {
        child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
      }
      if (!child) break;
      SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  const std::string chosen = platform::chooseFolder("Choisissez un dossier à copier", "C:\\");
  EXPECT_TRUE(driver.found());
  // Windows gives the whole path; Wine cuts an item's path at 260 characters
  // itself, and a cut path, which names another folder or none, must never be
  // the answer.
  EXPECT_TRUE(chosen.empty() || chosen == narrow(path) + "\\") << chosen;
  for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->c_str());
}

TEST_F(FolderChooserOnWindows, CancelGivesAnEmptyAnswer) {
  ChooserDriver driver([](HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  });
  EXPECT_EQ(platform::chooseFolder("Choisissez un répertoire", "C:\\"), "");
  EXPECT_TRUE(driver.found());
}

}  // namespace
