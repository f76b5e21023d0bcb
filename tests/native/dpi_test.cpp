// The one scaling function: MulDiv(value, dpi, 96) at the boundaries.
#include "platform/dpi.h"

#include <gtest/gtest.h>

namespace {

using platform::scaleForDpi;

TEST(DisplayScale, NinetySixDpiLeavesEveryValueAsItIs) {
  for (const int value : {-600, -1, 0, 1, 7, 342, 410, 600, 32767}) {
    EXPECT_EQ(scaleForDpi(value, 96), value);
  }
}

TEST(DisplayScale, AnUnknownDpiLeavesTheValueAsItIs) {
  EXPECT_EQ(scaleForDpi(342, 0), 342);
  EXPECT_EQ(scaleForDpi(342, -120), 342);
}

TEST(DisplayScale, OddSizesAtOneHundredTwentyFivePercentRoundToTheNearestPixel) {
  EXPECT_EQ(scaleForDpi(1, 120), 1);      // 1.25
  EXPECT_EQ(scaleForDpi(2, 120), 3);      // 2.5, a half goes up
  EXPECT_EQ(scaleForDpi(3, 120), 4);      // 3.75
  EXPECT_EQ(scaleForDpi(5, 120), 6);      // 6.25
  EXPECT_EQ(scaleForDpi(15, 120), 19);    // 18.75
  EXPECT_EQ(scaleForDpi(85, 120), 106);   // 106.25
  EXPECT_EQ(scaleForDpi(342, 120), 428);  // 427.5
  EXPECT_EQ(scaleForDpi(410, 120), 513);  // 512.5
  EXPECT_EQ(scaleForDpi(600, 120), 750);
}

TEST(DisplayScale, OddSizesAtOneHundredSeventyFivePercentRoundToTheNearestPixel) {
  EXPECT_EQ(scaleForDpi(1, 168), 2);      // 1.75
  EXPECT_EQ(scaleForDpi(2, 168), 4);      // 3.5, a half goes up
  EXPECT_EQ(scaleForDpi(3, 168), 5);      // 5.25
  EXPECT_EQ(scaleForDpi(65, 168), 114);   // 113.75
  EXPECT_EQ(scaleForDpi(85, 168), 149);   // 148.75
  EXPECT_EQ(scaleForDpi(342, 168), 599);  // 598.5
  EXPECT_EQ(scaleForDpi(410, 168), 718);  // 717.5
}

TEST(DisplayScale, NegativeHalvesRoundAwayFromZeroAsMulDivDoes) {
  EXPECT_EQ(scaleForDpi(-2, 120), -3);  // -2.5
  EXPECT_EQ(scaleForDpi(-1, 120), -1);  // -1.25
  EXPECT_EQ(scaleForDpi(-3, 168), -5);  // -5.25
  EXPECT_EQ(scaleForDpi(-2, 168), -4);  // -3.5
}

TEST(DisplayScale, WholeScalesGiveExactMultiples) {
  EXPECT_EQ(scaleForDpi(11, 144), 17);  // 16.5
  EXPECT_EQ(scaleForDpi(600, 144), 900);
  EXPECT_EQ(scaleForDpi(410, 192), 820);
  EXPECT_EQ(scaleForDpi(16, 192), 32);
}

TEST(DisplayScale, PicturesComeFromTheSmallestScaleAtOrAboveTheWindows) {
  EXPECT_EQ(platform::pictureScaleFor(96), 100);
  EXPECT_EQ(platform::pictureScaleFor(97), 125);
  EXPECT_EQ(platform::pictureScaleFor(120), 125);
  EXPECT_EQ(platform::pictureScaleFor(121), 150);
  EXPECT_EQ(platform::pictureScaleFor(144), 150);
  EXPECT_EQ(platform::pictureScaleFor(168), 175);
  EXPECT_EQ(platform::pictureScaleFor(169), 200);
  EXPECT_EQ(platform::pictureScaleFor(192), 200);
  EXPECT_EQ(platform::pictureScaleFor(288), 200);
  EXPECT_EQ(platform::pictureScaleFor(72), 100);
}

TEST(DisplayScale, AreasScaleOutwardSoThatNoPixelIsLeftOut) {
  const platform::Area status{10, 280, 480, 20};
  const platform::Area same = platform::scaleAreaOutward(status, 96);
  EXPECT_EQ(same.x, 10);
  EXPECT_EQ(same.width, 480);
  const platform::Area at125 = platform::scaleAreaOutward({1, 1, 1, 1}, 120);
  EXPECT_EQ(at125.x, 1);      // 1.25 down
  EXPECT_EQ(at125.width, 2);  // to 2.5 up: 3
  const platform::Area back = platform::unscaleAreaOutward({1, 1, 1, 1}, 120);
  EXPECT_EQ(back.x, 0);      // 0.8 down
  EXPECT_EQ(back.width, 2);  // to 1.6 up: 2
  const platform::Area whole = platform::unscaleAreaOutward({0, 0, 750, 428}, 120);
  EXPECT_EQ(whole.width, 600);
  EXPECT_EQ(whole.height, 343);  // 342.4 up
}

}  // namespace

namespace {

TEST(DisplayScale, NeighboursThatTouchAtNinetySixDpiTouchAtEveryScale) {
  // The source field ends where its chooser button begins, at x = 560.
  for (const int dpi : {96, 120, 144, 168, 192}) {
    const platform::Area field = platform::scaleRect({10, 35, 550, 20}, dpi);
    const platform::Area chooser = platform::scaleRect({560, 30, 30, 25}, dpi);
    EXPECT_EQ(field.x + field.width, chooser.x) << dpi;
    EXPECT_EQ(chooser.x, platform::scaleForDpi(560, dpi)) << dpi;
  }
  const platform::Area same = platform::scaleRect({365, 0, 65, 30}, 96);
  EXPECT_EQ(same.x, 365);
  EXPECT_EQ(same.width, 65);
}

}  // namespace
