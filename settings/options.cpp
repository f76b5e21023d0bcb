// The user's five options: read into the record the caller keeps before each
// decision, shown in and saved from the preferences window.
#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal/journal.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "settings/settings.h"

namespace settings {

namespace {

struct Option {
  std::string_view key;
  int checkBox;
  std::atomic<int> OptionFlags::*flag;
};

// In the order the file lists them.
constexpr std::array<Option, 5> kOptions = {{
    {"verif", kVerifyCheckBox, &OptionFlags::verif},
    {"space", kSpaceCheckBox, &OptionFlags::space},
    {"log", kJournalCheckBox, &OptionFlags::log},
    {"opencopy", kOpenCopyCheckBox, &OptionFlags::opencopy},
    {"openlog", kOpenJournalCheckBox, &OptionFlags::openlog},
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

namespace {

// The five values, in the order of kOptions; false without a readable file.
bool readOptionValues(std::vector<std::string>& values) {
  std::array<std::string_view, kOptions.size()> keys{};
  for (std::size_t i = 0; i < kOptions.size(); ++i) keys[i] = kOptions[i].key;
  return IniFile::readValues(settingsPath(), keys, values);
}

}  // namespace

void loadOptionFlags(OptionFlags& options) {
  std::vector<std::string> values;
  if (!readOptionValues(values)) return;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    // Case counts: "OK" or "Ok" leave the option off.
    (options.*kOptions[i].flag).store(values[i] == kOn ? 1 : 0);
  }
}

void loadSettingsIntoWindow() {
  std::vector<std::string> values;
  if (!readOptionValues(values)) return;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    platform::setChecked(kOptions[i].checkBox, values[i] == kOn);
  }
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
