#pragma once
// The texts painted straight onto the main window: the two labels above the
// path fields and the status line.
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace app {

inline constexpr platform::Rgb kStatusColour{32, 32, 160};
inline constexpr platform::Rgb kLabelColour{79, 81, 82};
inline constexpr int kStatusLeft = 10;
inline constexpr int kStatusTop = 280;
inline constexpr int kStatusWidth = 480;
inline constexpr int kStatusHeight = 20;

// Cuts the status line's backdrop out of the background picture and paints
// the (empty) status line once; false when the backdrop could not be cut.
bool prepareStatusLine();
// Restores the patch over the rectangle and draws the text over it. Calls are
// serialised, so two threads never interleave their drawing.
void paintStatusLine(int patch, int font, int left, int top, int width, int height,
                     std::string_view text, platform::Rgb colour);
// paintStatusLine with the status-line values and the current statusText.
void repaintStatusLine();
// Assigns statusText and repaints the status line at once. Any thread.
void setStatusText(std::string text);
void paintLabel(int left, int top, std::string_view text, platform::Rgb colour);
// Both labels, as at start-up and after a move.
void paintLabels();

}  // namespace app
