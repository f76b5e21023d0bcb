#pragma once
// Helpers shared by the native tests: temporary folders, files, and a fresh
// program state with the headless windowing layer.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The folder as the program's choosers give it: with a trailing separator.
  std::string withSeparator() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// Every file and folder below `root` by relative name, a file with its
// contents ("<folder>" for a folder): what must stay byte for byte the same.
std::map<std::string, std::string> snapshot(const std::filesystem::path& root);

// The boxes the program has shown so far with this caption, in order.
std::vector<platform::headless::BoxRecord> boxesCaptioned(const std::string& caption);
// Moves the program's clock on 20 ms at a time, letting its timers run, until
// `condition` holds; false only when a hang's ceiling passes first.
bool runTimersUntil(const std::function<bool()>& condition);
// Runs the timers until `count` boxes with this caption have been shown, then
// waits until the program is idle.
bool runUntilBox(const std::string& caption, std::size_t count = 1);

// Every test of the program's behaviour starts here: the headless windowing
// layer forgotten, the program state zeroed, and the profile folder (HOME)
// pointed at a temporary folder of its own.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path profile() const { return profile_.path(); }
  // Writes the settings file with the given options on ("verif", "log"...).
  void setOptions(std::initializer_list<const char*> on);

 private:
  TempFolder profile_;
  std::string savedHome_;
  bool hadHome_ = false;
};

}  // namespace testsupport
