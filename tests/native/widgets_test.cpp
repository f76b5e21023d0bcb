// The image buttons' geometry and looks: where icon and caption go, which
// frame each look gets, pixel by pixel for the classic frames, and how the
// pointer's coming and going repaints a button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "widgets/paint.h"

namespace {

using widgets::ButtonLook;
using widgets::ContentPlacement;

// The pixels a classic frame colours, as the platform draws its lines (end
// point left out) and then fills the inner rectangle with button face.
class Raster {
 public:
  Raster(int width, int height) : width_(width), height_(height), pixels_(width * height, 0) {}

  void draw(const widgets::ClassicFrame& frame) {
    for (const auto& line : frame.lines) {
      const int dx = line.x1 > line.x0 ? 1 : line.x1 < line.x0 ? -1 : 0;
      const int dy = line.y1 > line.y0 ? 1 : line.y1 < line.y0 ? -1 : 0;
      ASSERT_TRUE(dx == 0 || dy == 0) << "only straight lines";
      for (int x = line.x0, y = line.y0; x != line.x1 || y != line.y1; x += dx, y += dy) {
        set(x, y, line.colour);
      }
    }
    for (int y = frame.innerFill.top; y < frame.innerFill.bottom; ++y) {
      for (int x = frame.innerFill.left; x < frame.innerFill.right; ++x) {
        set(x, y, widgets::buttonFaceColour);
      }
    }
  }

  int at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

 private:
  void set(int x, int y, int colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
  }
  int width_;
  int height_;
  std::vector<int> pixels_;
};

constexpr int kFrame = widgets::windowFrameColour;
constexpr int kLight = widgets::buttonHighlightColour;
constexpr int kDark = widgets::buttonShadowColour;
constexpr int kFace = widgets::buttonFaceColour;

TEST(ButtonPlacement, EveryLayoutOfA90By30Button) {
  // 16 × 16 icon, a caption 48 × 13 pixels, character height 11.
  struct Case {
    std::int64_t layout;
    ContentPlacement expected;
  } cases[] = {
      {widgets::iconTop, {37, 3, 21, 7}},
      {widgets::iconRight, {64, 7, 6, 9}},
      {widgets::iconBottom, {37, 7, 21, 4}},
      {widgets::iconLeft, {10, 7, 36, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layout);
    EXPECT_EQ(widgets::placeContent(c.layout, 90, 30, 16, 16, 48, 13, 11), c.expected);
  }
}

TEST(ButtonPlacement, UnknownLayoutPutsEverythingAtTheTopLeftCorner) {
  for (const std::int64_t layout : {-1LL, 4LL, 1000LL}) {
    EXPECT_EQ(widgets::placeContent(layout, 90, 30, 16, 16, 48, 13, 11), ContentPlacement{})
        << layout;
  }
}

TEST(ButtonPlacement, CaptionWiderThanTheButtonIsNeitherCutNorWrapped) {
  // 200 pixels of caption in a 90-pixel button: centring starts it left of the edge.
  EXPECT_EQ(widgets::placeContent(widgets::iconTop, 90, 30, 16, 16, 200, 13, 11).textX, -55);
  EXPECT_EQ(widgets::placeContent(widgets::iconBottom, 90, 30, 16, 16, 201, 13, 11).textX, -55);
  // With the icon at the left the caption keeps its place and runs past the edge.
  EXPECT_EQ(widgets::placeContent(widgets::iconLeft, 90, 30, 16, 16, 200, 13, 11).textX, 36);
  EXPECT_EQ(widgets::placeContent(widgets::iconRight, 90, 30, 16, 16, 200, 13, 11).textX, -146);
}

TEST(ButtonLooks, PressedWinsOverFocusAndFocusOverDisabled) {
  EXPECT_EQ(widgets::chooseLook({true, true, true}), ButtonLook::pressed);
  EXPECT_EQ(widgets::chooseLook({false, true, true}), ButtonLook::focused);
  EXPECT_EQ(widgets::chooseLook({false, false, true}), ButtonLook::disabled);
  EXPECT_EQ(widgets::chooseLook({}), ButtonLook::normal);
}

TEST(ButtonLooks, ThemedStatesFollowTheLookAndTheHover) {
  EXPECT_EQ(widgets::themedState(ButtonLook::normal, 0), widgets::normalState);
  EXPECT_EQ(widgets::themedState(ButtonLook::normal, 1), widgets::hotState);
  EXPECT_EQ(widgets::themedState(ButtonLook::focused, 0), widgets::defaultedState);
  EXPECT_EQ(widgets::themedState(ButtonLook::focused, 1), widgets::hotState);
  EXPECT_EQ(widgets::themedState(ButtonLook::pressed, 1), widgets::pressedState);
  EXPECT_EQ(widgets::themedState(ButtonLook::disabled, 1), widgets::disabledState);
  // A hover flag that is neither 0 nor 1 leaves the themed background out.
  EXPECT_EQ(widgets::themedState(ButtonLook::normal, 2), widgets::noThemeState);
  EXPECT_EQ(widgets::themedState(ButtonLook::focused, -1), widgets::noThemeState);
}

TEST(ClassicFrames, NormalLookOfA90By30Button) {
  Raster raster(90, 30);
  raster.draw(widgets::classicFrame(ButtonLook::normal, 90, 30));
  for (int x = 0; x < 89; ++x) EXPECT_EQ(raster.at(x, 0), kLight) << x;
  for (int y = 0; y < 29; ++y) EXPECT_EQ(raster.at(0, y), kLight) << y;
  for (int y = 0; y < 30; ++y) EXPECT_EQ(raster.at(89, y), kFrame) << y;
  for (int x = 0; x < 90; ++x) EXPECT_EQ(raster.at(x, 29), kFrame) << x;
  for (int y = 1; y < 29; ++y) EXPECT_EQ(raster.at(88, y), kDark) << y;
  for (int x = 1; x < 89; ++x) EXPECT_EQ(raster.at(x, 28), kDark) << x;
  for (int y = 1; y < 28; ++y) {
    for (int x = 1; x < 88; ++x) ASSERT_EQ(raster.at(x, y), kFace) << x << "," << y;
  }
  // The disabled look has the same frame.
  EXPECT_EQ(widgets::classicFrame(ButtonLook::disabled, 90, 30).lines,
            widgets::classicFrame(ButtonLook::normal, 90, 30).lines);
}

TEST(ClassicFrames, PressedLookOfA90By30Button) {
  Raster raster(90, 30);
  raster.draw(widgets::classicFrame(ButtonLook::pressed, 90, 30));
  for (int x = 0; x < 90; ++x) {
    EXPECT_EQ(raster.at(x, 0), kFrame) << x;
    EXPECT_EQ(raster.at(x, 29), kFrame) << x;
  }
  for (int y = 0; y < 30; ++y) {
    EXPECT_EQ(raster.at(0, y), kFrame) << y;
    EXPECT_EQ(raster.at(89, y), kFrame) << y;
  }
  for (int x = 1; x < 89; ++x) {
    EXPECT_EQ(raster.at(x, 1), kDark) << x;
    EXPECT_EQ(raster.at(x, 28), kDark) << x;
  }
  for (int y = 2; y < 28; ++y) {
    EXPECT_EQ(raster.at(1, y), kDark) << y;
    EXPECT_EQ(raster.at(88, y), kDark) << y;
  }
  for (int y = 2; y < 28; ++y) {
    for (int x = 2; x < 88; ++x) ASSERT_EQ(raster.at(x, y), kFace) << x << "," << y;
  }
}

TEST(ClassicFrames, FocusedLookHasADoubleDarkEdgeBottomRight) {
  Raster raster(90, 30);
  raster.draw(widgets::classicFrame(ButtonLook::focused, 90, 30));
  EXPECT_EQ(raster.at(0, 0), kFrame);
  EXPECT_EQ(raster.at(1, 1), kLight);
  EXPECT_EQ(raster.at(1, 27), kLight);
  EXPECT_EQ(raster.at(87, 1), kLight);
  EXPECT_EQ(raster.at(88, 5), kFrame);
  EXPECT_EQ(raster.at(5, 28), kFrame);
  EXPECT_EQ(raster.at(87, 5), kDark);
  EXPECT_EQ(raster.at(5, 27), kDark);
  EXPECT_EQ(raster.at(2, 2), kFace);
  EXPECT_EQ(raster.at(86, 26), kFace);
}

TEST(ClassicFrames, EachColourIsDrawnInOneRunWithOnePen) {
  const auto colours = [](ButtonLook look) {
    std::vector<int> runs;
    for (const auto& line : widgets::classicFrame(look, 90, 30).lines) {
      if (runs.empty() || runs.back() != line.colour) runs.push_back(line.colour);
    }
    return runs;
  };
  EXPECT_EQ(colours(ButtonLook::pressed), (std::vector<int>{kFrame, kDark}));
  EXPECT_EQ(colours(ButtonLook::focused), (std::vector<int>{kFrame, kLight, kDark}));
  EXPECT_EQ(colours(ButtonLook::normal), (std::vector<int>{kLight, kFrame, kDark}));
}

widgets::ButtonPaintInput commandButton(widgets::ItemState state, bool themed = false) {
  widgets::ButtonPaintInput input;
  input.width = 90;
  input.height = 30;
  input.state = state;
  input.layout = widgets::iconLeft;
  input.themed = themed;
  input.iconWidth = 16;
  input.iconHeight = 16;
  input.textWidth = 48;
  input.textHeight = 13;
  input.fontHeight = 11;
  return input;
}

TEST(ButtonPaintPlans, NormalAndPressedPlaces) {
  const auto normal = widgets::planButtonPaint(commandButton({}));
  EXPECT_TRUE(normal.paints);
  EXPECT_EQ(normal.background, (widgets::Rect{0, 0, 90, 30}));
  EXPECT_EQ(normal.iconX, 10);
  EXPECT_EQ(normal.iconY, 7);
  EXPECT_EQ(normal.captions, (std::vector<widgets::CaptionDraw>{{36, 9, 0}}));
  EXPECT_FALSE(normal.focusRectangle);

  // Pushed in one pixel right and down, and never a focus rectangle.
  const auto pressed = widgets::planButtonPaint(commandButton({true, true, false}));
  EXPECT_EQ(pressed.look, ButtonLook::pressed);
  EXPECT_EQ(pressed.iconX, 11);
  EXPECT_EQ(pressed.iconY, 8);
  EXPECT_EQ(pressed.captions, (std::vector<widgets::CaptionDraw>{{37, 10, 0}}));
  EXPECT_FALSE(pressed.focusRectangle);
}

TEST(ButtonPaintPlans, FocusedButtonGetsTheFocusRectangleFourPixelsInside) {
  for (const bool themed : {false, true}) {
    const auto focused = widgets::planButtonPaint(commandButton({false, true, false}, themed));
    EXPECT_TRUE(focused.focusRectangle);
    EXPECT_EQ(focused.focus, (widgets::Rect{4, 4, 86, 26}));
  }
}

TEST(ButtonPaintPlans, DisabledButtonIsGreyedAndEngraved) {
  const auto disabled = widgets::planButtonPaint(commandButton({false, false, true}));
  EXPECT_EQ(disabled.look, ButtonLook::disabled);
  EXPECT_TRUE(disabled.iconDisabled);
  EXPECT_EQ(disabled.iconX, 10);
  // Highlight one pixel down and right first, the shadow on top of it.
  EXPECT_EQ(disabled.captions,
            (std::vector<widgets::CaptionDraw>{{37, 10, kLight}, {36, 9, kDark}}));
}

TEST(ButtonPaintPlans, ThemedOrClassicFrameButNeverBoth) {
  const auto themed = widgets::planButtonPaint(commandButton({}, true));
  EXPECT_TRUE(themed.themed);
  EXPECT_EQ(themed.themeState, widgets::normalState);
  EXPECT_TRUE(themed.classic.lines.empty());
  auto hot = commandButton({}, true);
  hot.hover = 1;
  EXPECT_EQ(widgets::planButtonPaint(hot).themeState, widgets::hotState);

  const auto classic = widgets::planButtonPaint(commandButton({}, false));
  EXPECT_FALSE(classic.themed);
  EXPECT_EQ(classic.themeState, widgets::noThemeState);
  EXPECT_EQ(classic.classic.lines.size(), 6u);
}

TEST(ButtonPaintPlans, RequestForAnotherKindOfControlDrawsNothing) {
  auto input = commandButton({});
  input.isButton = false;
  EXPECT_FALSE(widgets::planButtonPaint(input).paints);
}

TEST(ButtonHover, EnteringRepaintsOnceAndAsksForOneLeaveNotice) {
  widgets::ButtonProperties button;
  const auto entry = widgets::onMouseMove(button);
  EXPECT_EQ(entry.repaint, widgets::Repaint::withoutErase);
  EXPECT_TRUE(entry.trackLeave);
  EXPECT_EQ(button.hover, 1);
  for (int move = 0; move < 5; ++move) {
    EXPECT_EQ(widgets::onMouseMove(button), widgets::HoverReaction{});
  }
  EXPECT_EQ(widgets::onMouseLeave(button).repaint, widgets::Repaint::withErase);
  EXPECT_EQ(button.hover, 0);
  // A leave notice when the flag is already down still repaints, with erasing.
  EXPECT_EQ(widgets::onMouseLeave(button).repaint, widgets::Repaint::withErase);
  EXPECT_EQ(button.hover, 0);
  EXPECT_TRUE(widgets::onMouseMove(button).trackLeave);
}

TEST(ThemeLibrary, OnlyXpAndLaterOnTheNtLineMayUseThemes) {
  EXPECT_FALSE(widgets::systemAllowsThemes(true, 1, 4, 10));  // 98
  EXPECT_FALSE(widgets::systemAllowsThemes(true, 2, 3, 51));
  EXPECT_FALSE(widgets::systemAllowsThemes(true, 2, 4, 0));
  EXPECT_FALSE(widgets::systemAllowsThemes(true, 2, 5, 0));  // 2000
  EXPECT_TRUE(widgets::systemAllowsThemes(true, 2, 5, 1));   // XP
  EXPECT_TRUE(widgets::systemAllowsThemes(true, 2, 6, 1));
  EXPECT_TRUE(widgets::systemAllowsThemes(true, 2, 10, 0));
  EXPECT_TRUE(widgets::systemAllowsThemes(false, 0, 0, 0));  // unreadable
  EXPECT_TRUE(widgets::systemAllowsThemes(true, 7, 1, 0));   // not recognised
}

TEST(ThemeLibrary, ThemedFrameNeedsTheLibraryAnActiveThemeAndAllFiveDrawingFunctions) {
  const widgets::ThemeFunctions all{true, true, true, true, true, true};
  EXPECT_TRUE(widgets::themedFrameUsable(true, all, 1));
  EXPECT_FALSE(widgets::themedFrameUsable(false, all, 1));
  EXPECT_FALSE(widgets::themedFrameUsable(true, all, 0));
  bool widgets::ThemeFunctions::*drawing[] = {
      &widgets::ThemeFunctions::openThemeData,
      &widgets::ThemeFunctions::isThemeBackgroundPartiallyTransparent,
      &widgets::ThemeFunctions::drawThemeParentBackground,
      &widgets::ThemeFunctions::drawThemeBackground, &widgets::ThemeFunctions::closeThemeData};
  for (auto member : drawing) {
    widgets::ThemeFunctions missing = all;
    missing.*member = false;
    EXPECT_FALSE(widgets::themedFrameUsable(true, missing, 1));
  }
}

}  // namespace
