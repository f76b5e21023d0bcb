// The user's five options: read into the record the caller keeps before each
// decision, or as the preferences window shows and saves them.
#include "settings/options.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "settings/ini_file.h"

namespace settings {

namespace {

struct Option {
  std::string_view key;
  std::atomic<int> OptionFlags::*flag;
};

// In the order the file lists them (OptionIndex).
constexpr std::array<Option, kOptionCount> kOptions = {{
    {"verif", &OptionFlags::verif},
    {"space", &OptionFlags::space},
    {"log", &OptionFlags::log},
    {"opencopy", &OptionFlags::opencopy},
    {"openlog", &OptionFlags::openlog},
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

bool readOptions(OptionValues& on) {
  std::vector<std::string> values;
  if (!readOptionValues(values)) return false;
  for (std::size_t i = 0; i < kOptions.size(); ++i) on[i] = values[i] == kOn;
  return true;
}

bool saveOptions(const OptionValues& on) {
  IniFile file;
  if (!file.create(settingsPath())) return false;
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    file.writeString(kOptions[i].key, on[i] ? kOn : kOff);
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
