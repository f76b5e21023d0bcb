#pragma once
// The settings file "ravelund.ini" in the profile folder: five "key = ok|no"
// lines holding the user's options.
#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace settings {

inline constexpr std::string_view kSettingsFileName = "ravelund.ini";

// The user's five options, each 0 or 1, re-read from the settings file before
// each decision. Atomics: the main, scan and verification threads all refresh
// and read them.
struct OptionFlags {
  std::atomic<int> verif{0};
  std::atomic<int> space{0};
  std::atomic<int> log{0};
  std::atomic<int> opencopy{0};
  std::atomic<int> openlog{0};
};

// The five options in the order the file lists them.
enum OptionIndex : std::size_t {
  kVerifyOption,
  kSpaceOption,
  kJournalOption,
  kOpenCopyOption,
  kOpenJournalOption,
  kOptionCount,
};
// Which options are on, by OptionIndex.
using OptionValues = std::array<bool, kOptionCount>;

// profileFolder() followed by "ravelund.ini", or the override a test set.
std::string settingsPath();

// Refreshes `options` from the settings file; leaves them as they are when
// there is no file. An option is on when its value is exactly "ok".
void loadOptionFlags(OptionFlags& options);
// Which options the settings file turns on; false, `on` untouched, when there
// is no file to read.
bool readOptions(OptionValues& on);
// Writes the five options as the five-line file. False when the file could
// not be written; it then keeps its earlier content.
bool saveOptions(const OptionValues& on);

namespace testing {
// Puts the settings file at `path` instead of the profile folder; "" undoes it.
void overrideSettingsPath(std::string path);
}  // namespace testing

}  // namespace settings
