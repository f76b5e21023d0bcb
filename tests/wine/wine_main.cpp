// The main function of every Windows test program run under Wine.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  // Unbuffered, so that the lines printed before a crash or a timeout still
  // reach the CTest log.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
