// The settings file: the lenient reader, the exact bytes written, the options
// and the preferences check boxes, and saves that readers never see half-done.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "app/dialogs.h"
#include "app/state.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/ui.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using settings::IniFile;

using testsupport::readFile;
using testsupport::writeFile;

constexpr char kVerifAndLogOn[] =
    "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_ / "ravelund.ini";
    settings::testing::overrideSettingsPath(path_.string());
    app::resetAppState();
    journal::setJournalFile((folder_ / "ravelundlog.ini").string(),
                            std::string(journal::kJournalKey));
  }

  void TearDown() override { settings::testing::overrideSettingsPath(""); }

  static std::array<int, 5> flags() {
    const app::OptionFlags& o = app::appState().options;
    return {o.verif.load(), o.space.load(), o.log.load(), o.opencopy.load(), o.openlog.load()};
  }

  testsupport::TempFolder temp_;
  const fs::path folder_ = temp_.path();
  fs::path path_;
};

// What readString answers for files other programs may have written.
TEST(IniReader, LenientCases) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* key;
    const char* value;  // "<none>": the default comes back
  };
  const Case cases[] = {
      {"the written form", kVerifAndLogOn, "log", "ok"},
      {"keys ignore case", "VERIF = ok\r\n", "verif", "ok"},
      {"asked in capitals", "verif = ok\r\n", "VeRiF", "ok"},
      {"values keep their case", "verif = OK\r\n", "verif", "OK"},
      {"trailing blanks dropped", "verif = ok \t \r\n", "verif", "ok"},
      {"first of two wins", "verif = no\r\nverif = ok\r\n", "verif", "no"},
      {"semicolon inside a value", "verif = ok ; yes\r\n", "verif", "ok ; yes"},
      {"comment line", "; verif = ok\r\n", "verif", "<none>"},
      {"indented comment", " \t;verif = ok\r\n", "verif", "<none>"},
      {"no blanks around =", "verif=ok\r\n", "verif", "ok"},
      {"many blanks around =", "verif   =   ok\r\n", "verif", "ok"},
      {"tabs and indent", "\t verif\t=\tok\r\n", "verif", "ok"},
      {"group above hides keys", "[Options]\r\nverif = ok\r\n", "verif", "<none>"},
      {"indented group", "  [Options]\r\nverif = ok\r\n", "verif", "<none>"},
      {"keys before a group count", "space = ok\r\n[Other]\r\nverif = ok\r\n", "space", "ok"},
      {"LF line ends", "space = no\nverif = ok\n", "verif", "ok"},
      {"CR line ends", "space = no\rverif = ok\r", "verif", "ok"},
      {"mixed line ends, empty lines", "\r\n\nspace = no\r\r\nverif = ok", "verif", "ok"},
      {"key without =", "verif\r\n", "verif", ""},
      {"empty value", "verif =\r\n", "verif", ""},
      {"only = in a value's place", "verif = = ok\r\n", "verif", "= ok"},
      {"UTF-8 with its mark", "\xEF\xBB\xBFverif = ok\r\n", "verif", "ok"},
      {"UTF-8 accents",
       "\xEF\xBB\xBF"
       "clé = élevé\r\n",
       "CLÉ", "élevé"},
      {"Windows-1252 accents", "cl\xE9 = \xE9lev\xE9\r\n", "clé", "élevé"},
      {"mark of a short file is text", "\xEF\xBB", "verif", "<none>"},
      {"empty file", "", "verif", "<none>"},
  };
  for (const Case& c : cases) {
    IniFile file;
    file.parse(c.bytes);
    EXPECT_EQ(file.readString(c.key, "<none>"), c.value) << c.what;
  }
}

TEST(IniWriter, WritesEachEntryInItsForm) {
  IniFile file;
  file.parse("; r\xE9glages\r\n verif=no\r\n[Autre]\r\ncl\xE9 = x\r\n");
  file.writeString("VERIF", "ok");  // replaces, keeping the file's spelling of the key
  file.writeString("space", "no");  // added before the first group
  EXPECT_EQ(file.text(), "; r\xE9glages\r\nverif = ok\r\nspace = no\r\n[Autre]\r\ncl\xE9 = x\r\n");

  IniFile utf8;
  utf8.parse(
      "\xEF\xBB\xBF"
      "clé = a\n");
  utf8.writeString("clé", "é");
  EXPECT_EQ(utf8.text(),
            "\xEF\xBB\xBF"
            "clé = é\r\n");
}

TEST_F(SettingsTest, OpeningAMissingFileFailsAndCreatesNothing) {
  IniFile file;
  EXPECT_FALSE(file.open(path_.string()));
  EXPECT_FALSE(file.open(folder_.string()));  // a folder is no settings file
  app::appState().options.log = 1;
  settings::loadOptionFlags(app::appState().options);
  EXPECT_EQ(flags(), (std::array<int, 5>{0, 0, 1, 0, 0}));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(SettingsTest, LoadOptionFlagsReadsExactlyOk) {
  writeFile(path_, "VERIF = ok\r\nspace = OK\r\nlog = ok  \r\nopencopy = yes\r\nopenlog = 1\r\n");
  app::appState().options.space = 1;
  app::appState().options.opencopy = 1;
  settings::loadOptionFlags(app::appState().options);
  EXPECT_EQ(flags(), (std::array<int, 5>{1, 0, 1, 0, 0}));

  writeFile(path_, "[Options]\r\n" + std::string(kVerifAndLogOn));
  settings::loadOptionFlags(app::appState().options);
  EXPECT_EQ(flags(), (std::array<int, 5>{0, 0, 0, 0, 0}));
}

TEST_F(SettingsTest, CreateAndCloseWriteTheFiveLineForm) {
  writeFile(path_, "; old comment\r\n[Old]\r\nverif = no\r\n");
  IniFile file;
  ASSERT_TRUE(file.create(path_.string()));
  for (const char* key : {"verif", "space", "log", "opencopy", "openlog"}) {
    file.writeString(key, std::string(key) == "verif" || std::string(key) == "log" ? "ok" : "no");
  }
  EXPECT_TRUE(file.close());
  EXPECT_EQ(readFile(path_), kVerifAndLogOn);

  // Opened and closed without a write, the file is left as it is.
  writeFile(path_, "verif=ok\n");
  ASSERT_TRUE(file.open(path_.string()));
  EXPECT_TRUE(file.close());
  EXPECT_EQ(readFile(path_), "verif=ok\n");
}

TEST_F(SettingsTest, SaveInAFolderThatCannotHoldTheFileDoesNothing) {
  IniFile file;
  ASSERT_TRUE(file.create((folder_ / "missing" / "ravelund.ini").string()));
  file.writeString("verif", "ok");
  EXPECT_FALSE(file.close());
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 0);
}

TEST_F(SettingsTest, SettingsFileLivesInTheProfileFolder) {
  settings::testing::overrideSettingsPath("");
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome != nullptr ? oldHome : "";
  ::setenv("HOME", folder_.string().c_str(), 1);
  EXPECT_EQ(platform::profileFolder(), folder_.string() + "/");
  EXPECT_EQ(settings::settingsPath(), folder_.string() + "/ravelund.ini");
  ::setenv("HOME", (folder_.string() + "/").c_str(), 1);
  EXPECT_EQ(settings::settingsPath(), folder_.string() + "/ravelund.ini");
  if (oldHome != nullptr) {
    ::setenv("HOME", savedHome.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

class PreferencesBoxesTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    platform::headless::reset();
    ASSERT_TRUE(platform::initialise());
    platform::WindowSpec window;
    window.title = "Paramètres";
    window.clientWidth = 400;
    window.clientHeight = 300;
    ASSERT_TRUE(platform::openWindow(app::kPreferencesWindow, window));
    for (int box = app::kSpaceCheckBox; box <= app::kOpenJournalCheckBox; ++box) {
      platform::ControlSpec checkBox;
      checkBox.number = box;
      checkBox.kind = platform::ControlKind::checkBox;
      checkBox.width = 300;
      checkBox.height = 20;
      ASSERT_TRUE(platform::createControl(app::kPreferencesWindow, checkBox));
    }
  }
  void TearDown() override {
    platform::headless::reset();
    SettingsTest::TearDown();
  }
};

TEST_F(PreferencesBoxesTest, SaveWritesTheBoxesAndStartsTheJournal) {
  platform::setChecked(app::kVerifyCheckBox, true);
  platform::setChecked(app::kJournalCheckBox, true);
  app::saveSettingsFromWindow();
  EXPECT_EQ(readFile(path_), kVerifAndLogOn);
  const std::vector<std::string> journalLines = journal::readJournalLines();
  ASSERT_EQ(journalLines.size(), 2u);
  EXPECT_TRUE(journalLines[0].starts_with("Journal créé le : ")) << journalLines[0];

  // Every box cleared: all five keys say "no", and the file stays.
  for (int box = app::kSpaceCheckBox; box <= app::kOpenJournalCheckBox; ++box) {
    platform::setChecked(box, false);
  }
  app::saveSettingsFromWindow();
  EXPECT_EQ(readFile(path_),
            "verif = no\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n");
}

TEST_F(PreferencesBoxesTest, SaveWithoutTheJournalBoxCreatesNoJournal) {
  platform::setChecked(app::kOpenJournalCheckBox, true);
  platform::setChecked(app::kSpaceCheckBox, true);
  app::saveSettingsFromWindow();
  EXPECT_EQ(readFile(path_),
            "verif = no\r\nspace = ok\r\nlog = no\r\nopencopy = no\r\nopenlog = ok\r\n");
  EXPECT_FALSE(journal::journalExists());
}

TEST_F(PreferencesBoxesTest, LoadTicksEachBoxFromItsKey) {
  app::loadSettingsIntoWindow();  // no file: every box stays as created
  for (int box = app::kSpaceCheckBox; box <= app::kOpenJournalCheckBox; ++box) {
    EXPECT_FALSE(platform::isChecked(box)) << box;
  }
  writeFile(path_, "opencopy = ok\nverif = ok\nspace = Ok\nopenlog = ok\n");
  app::loadSettingsIntoWindow();
  EXPECT_TRUE(platform::isChecked(app::kVerifyCheckBox));
  EXPECT_FALSE(platform::isChecked(app::kSpaceCheckBox));
  EXPECT_FALSE(platform::isChecked(app::kJournalCheckBox));
  EXPECT_TRUE(platform::isChecked(app::kOpenCopyCheckBox));
  EXPECT_TRUE(platform::isChecked(app::kOpenJournalCheckBox));
}

// A worker reads the options while the main thread saves them again and again:
// it must find the old file or the new one, never an empty or partial file.
TEST_F(SettingsTest, ReadersNeverSeeAHalfSavedFile) {
  const std::string allOn =
      "verif = ok\r\nspace = ok\r\nlog = ok\r\nopencopy = ok\r\nopenlog = ok\r\n";
  const std::string allOff =
      "verif = no\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n";
  writeFile(path_, allOff);

  std::atomic<bool> saving{true};
  std::atomic<int> reads{0};
  std::atomic<int> badReads{0};
  std::thread reader([&] {
    while (saving.load()) {
      std::string bytes;
      if (!platform::readWholeFile(path_.string(), bytes) || (bytes != allOn && bytes != allOff)) {
        ++badReads;
      }
      IniFile file;
      if (!file.open(path_.string()) || file.readString("openlog", "") == "") ++badReads;
      ++reads;
    }
  });
  for (int save = 0; save < 300; ++save) {
    IniFile file;
    ASSERT_TRUE(file.create(path_.string()));
    for (const char* key : {"verif", "space", "log", "opencopy", "openlog"}) {
      file.writeString(key, save % 2 == 0 ? "ok" : "no");
    }
    ASSERT_TRUE(file.close());
  }
  saving = false;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(badReads.load(), 0);
  EXPECT_EQ(readFile(path_), allOff);
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

}  // namespace
