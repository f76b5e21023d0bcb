#include "widgets/paint.h"

#include "platform/dpi.h"

namespace widgets {

ContentPlacement placeContent(std::int64_t layout, int width, int height, int iconWidth,
                              int iconHeight, int textWidth, int textHeight, int fontHeight,
                              int dpi) {
  const int w = width;
  const int h = height;
  const int m7 = platform::scaleForDpi(7, dpi);
  const int m10 = platform::scaleForDpi(10, dpi);
  const int m20 = platform::scaleForDpi(20, dpi);
  switch (layout) {
    case iconTop:
      return {(w - iconWidth) / 2, (h - iconHeight) / 4, (w - textWidth) / 2, h - textHeight - m10};
    case iconRight:
      return {w - iconWidth - m10, (h - iconHeight) / 2, w - textWidth - iconWidth - m20,
              (h - fontHeight) / 2};
    case iconBottom:
      return {(w - iconWidth) / 2, h - iconHeight - m7, (w - textWidth) / 2, (h - textHeight) / 4};
    case iconLeft:
      return {m10, (h - iconHeight) / 2, iconWidth + m20, (h - fontHeight) / 2};
    default:
      return {};
  }
}

ButtonLook chooseLook(ItemState state) {
  if (state.selected) return ButtonLook::pressed;
  if (state.focused) return ButtonLook::focused;
  if (state.disabled) return ButtonLook::disabled;
  return ButtonLook::normal;
}

int themedState(ButtonLook look, std::int64_t hover) {
  switch (look) {
    case ButtonLook::pressed:
      return pressedState;
    case ButtonLook::disabled:
      return disabledState;
    case ButtonLook::focused:
      return hover == 0 ? defaultedState : hover == 1 ? hotState : noThemeState;
    case ButtonLook::normal:
      return hover == 0 ? normalState : hover == 1 ? hotState : noThemeState;
  }
  return noThemeState;
}

ClassicFrame classicFrame(ButtonLook look, int width, int height) {
  const int w = width;
  const int h = height;
  constexpr int frame = windowFrameColour;
  constexpr int light = buttonHighlightColour;
  constexpr int dark = buttonShadowColour;
  switch (look) {
    case ButtonLook::pressed:
      return {{{frame, 0, 0, w, 0},
               {frame, 0, 0, 0, h - 1},
               {frame, 0, h - 1, w, h - 1},
               {frame, w - 1, 0, w - 1, h},
               {dark, 1, 1, w - 1, 1},
               {dark, 1, 2, 1, h - 2},
               {dark, 1, h - 2, w - 1, h - 2},
               {dark, w - 2, 2, w - 2, h - 2}},
              {2, 2, w - 2, h - 2}};
    case ButtonLook::focused:
      return {{{frame, 0, 0, w, 0},
               {frame, 0, 0, 0, h - 1},
               {frame, 0, h - 1, w, h - 1},
               {frame, w - 1, 0, w - 1, h},
               {frame, 0, h - 2, w - 1, h - 2},
               {frame, w - 2, 0, w - 2, h - 1},
               {light, 1, 1, w - 2, 1},
               {light, 1, 1, 1, h - 2},
               {dark, 2, h - 3, w - 2, h - 3},
               {dark, w - 3, 2, w - 3, h - 2}},
              {2, 2, w - 3, h - 3}};
    case ButtonLook::disabled:
    case ButtonLook::normal:
      return {{{light, 0, 0, w, 0},
               {light, 0, 0, 0, h - 1},
               {frame, 0, h - 1, w, h - 1},
               {frame, w - 1, 0, w - 1, h},
               {dark, 1, h - 2, w - 1, h - 2},
               {dark, w - 2, 1, w - 2, h - 1}},
              {1, 1, w - 2, h - 2}};
  }
  return {};
}

ButtonPaint planButtonPaint(const ButtonPaintInput& input) {
  ButtonPaint paint;
  if (!input.isButton) return paint;
  paint.paints = true;
  paint.look = chooseLook(input.state);
  paint.background = {0, 0, input.width, input.height};
  paint.themed = input.themed;
  if (input.themed) {
    paint.themeState = themedState(paint.look, input.hover);
  } else {
    paint.classic = classicFrame(paint.look, input.width, input.height);
  }
  const ContentPlacement at =
      placeContent(input.layout, input.width, input.height, input.iconWidth, input.iconHeight,
                   input.textWidth, input.textHeight, input.fontHeight, input.dpi);
  paint.iconX = at.iconX;
  paint.iconY = at.iconY;
  switch (paint.look) {
    case ButtonLook::pressed:
      // Pushed in: icon and caption one pixel right and down.
      paint.iconX += 1;
      paint.iconY += 1;
      paint.captions.push_back({at.textX + 1, at.textY + 1, 0});
      break;
    case ButtonLook::focused: {
      paint.captions.push_back({at.textX, at.textY, 0});
      paint.focusRectangle = true;
      const int inset = platform::scaleForDpi(4, input.dpi);
      paint.focus = {inset, inset, input.width - inset, input.height - inset};
      break;
    }
    case ButtonLook::disabled:
      // Engraved: a light copy one pixel down and right, the shadow on top.
      paint.iconDisabled = true;
      paint.captions.push_back({at.textX + 1, at.textY + 1, buttonHighlightColour});
      paint.captions.push_back({at.textX, at.textY, buttonShadowColour});
      break;
    case ButtonLook::normal:
      paint.captions.push_back({at.textX, at.textY, 0});
      break;
  }
  return paint;
}

HoverReaction onMouseMove(ButtonProperties& button) {
  if (button.hover != 0) return {};
  button.hover = 1;
  return {Repaint::withoutErase, true};
}

HoverReaction onMouseLeave(ButtonProperties& button) {
  if (button.hover == 1) button.hover = 0;
  return {Repaint::withErase, false};
}

bool systemAllowsThemes(bool versionKnown, int platformId, int major, int minor) {
  if (!versionKnown) return true;
  if (platformId == 1) return false;  // 95, 98, ME
  if (platformId == 2) return major > 5 || (major == 5 && minor >= 1);
  return true;
}

bool themedFrameUsable(bool libraryLoaded, const ThemeFunctions& found, std::int64_t themeActive) {
  return libraryLoaded && themeActive != 0 && found.openThemeData &&
         found.isThemeBackgroundPartiallyTransparent && found.drawThemeParentBackground &&
         found.drawThemeBackground && found.closeThemeData;
}

}  // namespace widgets
