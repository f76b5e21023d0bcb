// The user's five options: read into the application state before each
// decision, shown in and saved from the preferences window.
#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "app/state.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "settings/settings.h"

namespace settings {

namespace {

struct Option {
  std::string_view key;
  int checkBox;
  std::atomic<int> app::OptionFlags::*flag;
};

// In the order the file lists them.
constexpr std::array<Option, 5> kOptions = {{
    {"verif", kVerifyCheckBox, &app::OptionFlags::verif},
    {"space", kSpaceCheckBox, &app::OptionFlags::space},
    {"log", kJournalCheckBox, &app::OptionFlags::log},
    {"opencopy", kOpenCopyCheckBox, &app::OptionFlags::opencopy},
    {"openlog", kOpenJournalCheckBox, &app::OptionFlags::openlog},
}};

constexpr std::string_view kOn = "ok";
constexpr std::string_view kOff = "no";

std::mutex overrideMutex;
std::string overridePath;

}  // namespace

std::string settingsPath() {
  {
    std::lock_guard lock(overrideMutex);
    if (!overridePath.empty()) return overridePath;
  }
  return platform::profileFolder() + std::string(kSettingsFileName);
}

void loadOptionFlags() {
  IniFile file;
  if (!file.open(settingsPath())) return;
  app::OptionFlags& options = app::appState().options;
  for (const Option& option : kOptions) {
    // Case counts: "OK" or "Ok" leave the option off.
    (options.*option.flag).store(file.readString(option.key, "") == kOn ? 1 : 0);
  }
  file.close();
}

void loadSettingsIntoWindow() {
  IniFile file;
  if (!file.open(settingsPath())) return;
  for (const Option& option : kOptions) {
    platform::setChecked(option.checkBox, file.readString(option.key, "") == kOn);
  }
  file.close();
}

bool saveSettingsFromWindow() {
  std::array<bool, kOptions.size()> ticked{};
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    ticked[i] = platform::isChecked(kOptions[i].checkBox);
  }
  // The journal exists, with its header, as soon as its option is saved.
  if (ticked[2]) journal::ensureJournal();

  IniFile file;
  if (!file.create(settingsPath())) return false;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    file.writeString(kOptions[i].key, ticked[i] ? kOn : kOff);
  }
  return file.close();
}

namespace testing {

void overrideSettingsPath(std::string path) {
  std::lock_guard lock(overrideMutex);
  overridePath = std::move(path);
}

}  // namespace testing

}  // namespace settings
