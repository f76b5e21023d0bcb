// The thread table: its threads are joined, not left behind, and at exit a
// thread that cannot stop is left to the process's end.
#include "platform/threads.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/headless/headless.h"

namespace {

using namespace std::chrono_literals;

// Set as a thread finally leaves, after its procedure has returned and the
// table has seen it end: a thread-local's destructor runs that late.
std::atomic<bool> leaving{false};
std::atomic<bool> left{false};
// Whether leaving is also said on the error output, which a child process's
// parent reads.
std::atomic<bool> sayWhenLeft{false};

struct LeavingMark {
  LeavingMark() = default;
  LeavingMark(const LeavingMark&) = delete;
  LeavingMark& operator=(const LeavingMark&) = delete;
  ~LeavingMark() {
    leaving = true;
    // Long enough that a thread left to run on its own is not through yet
    // when its waiter goes on.
    std::this_thread::sleep_for(200ms);
    left = true;
    static constexpr char kLine[] = "the thread has left\n";
    if (sayWhenLeft) (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
  }
};

// A procedure whose thread sets `leaving`, then `left`, as it goes.
int markedProcedure(int) {
  thread_local LeavingMark mark;
  (void)mark;
  return 0;
}

class ThreadTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
    leaving = false;
    left = false;
  }
};

TEST_F(ThreadTableTest, WaitingForAllThreadsWaitsUntilEachHasLeft) {
  ASSERT_NE(platform::startThread(markedProcedure, 0), 0);
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_TRUE(left);
}

TEST_F(ThreadTableTest, AThreadSaidToRunNoMoreHasLeftAndIsForgotten) {
  const int thread = platform::startThread(markedProcedure, 0);
  ASSERT_NE(thread, 0);
  const auto ceiling = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(platform::headless::kHangCeilingMs);
  while (platform::threadRunning(thread) && std::chrono::steady_clock::now() < ceiling) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_FALSE(platform::threadRunning(thread));
  EXPECT_TRUE(left);
  // Its number is not given again, and asking anything of it changes nothing.
  platform::pauseThread(thread);
  platform::resumeThread(thread);
  platform::stopThread(thread);
  EXPECT_FALSE(platform::threadRunning(thread));
  const int next = platform::startThread([](int) { return 0; }, 0);
  EXPECT_GT(next, thread);
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
}

TEST_F(ThreadTableTest, AtExitEndedThreadsAreJoinedAndOneThatCannotStopIsLeft) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        // One that never reaches a checkpoint again, and one that has ended
        // without anybody asking the table since.
        sayWhenLeft = true;
        platform::startThread(
            [](int) {
              for (;;) std::this_thread::sleep_for(1h);
              return 0;
            },
            0);
        platform::startThread(markedProcedure, 0);
        const auto ceiling = std::chrono::steady_clock::now() +
                             std::chrono::milliseconds(platform::headless::kHangCeilingMs);
        while (!leaving && std::chrono::steady_clock::now() < ceiling) {
          std::this_thread::sleep_for(1ms);
        }
        std::exit(leaving ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "the thread has left");
}

}  // namespace
