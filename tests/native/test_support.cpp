#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "app/state.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "settings/options.h"

namespace testsupport {

TempFolder::TempFolder() {
  std::random_device random;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("ravelund-test-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Make read-only leftovers removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    tree[name] = entry.is_directory() ? std::string("<folder>") : readFile(entry.path());
  }
  return tree;
}

void ProgramTest::SetUp() {
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  platform::headless::reset();
  app::resetAppState();
  if (const char* home = std::getenv("HOME")) {
    hadHome_ = true;
    savedHome_ = home;
  }
  ::setenv("HOME", profile_.path().c_str(), 1);
  settings::testing::overrideSettingsPath("");
}

void ProgramTest::TearDown() {
  EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  platform::headless::reset();
  if (hadHome_) {
    ::setenv("HOME", savedHome_.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

void ProgramTest::setOptions(std::initializer_list<const char*> on) {
  std::string file;
  for (const char* key : {"verif", "space", "log", "opencopy", "openlog"}) {
    bool isOn = false;
    for (const char* wanted : on) isOn = isOn || std::string(wanted) == key;
    file += std::string(key) + " = " + (isOn ? "ok" : "no") + "\r\n";
  }
  writeFile(profile() / "ravelund.ini", file);
}

std::vector<platform::headless::BoxRecord> boxesCaptioned(const std::string& caption) {
  std::vector<platform::headless::BoxRecord> found;
  for (const auto& box : platform::headless::boxes()) {
    if (box.caption == caption) found.push_back(box);
  }
  return found;
}

bool runTimersUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(platform::headless::kHangCeilingMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    platform::headless::advanceTime(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool runUntilBox(const std::string& caption, std::size_t count) {
  return runTimersUntil([&] { return boxesCaptioned(caption).size() >= count; }) &&
         platform::headless::waitIdle();
}

}  // namespace testsupport
