#pragma once
// The texts painted over the main window's background picture: the two
// labels above the path fields and the status line.
#include <string>

#include "platform/ui.h"

namespace app {

inline constexpr platform::Rgb kStatusColour{32, 32, 160};
inline constexpr platform::Rgb kLabelColour{79, 81, 82};
inline constexpr int kStatusLeft = 10;
inline constexpr int kStatusTop = 280;
inline constexpr int kStatusWidth = 480;
inline constexpr int kStatusHeight = 20;

// Cuts the status line's backdrop out of the background picture, hands the
// picture its painter (the status line and the two labels are painted over
// it, from statusText and the label texts, whenever it paints) and paints the
// (empty) status line once; false when the backdrop could not be cut.
bool prepareStatusLine();
// Has the status line painted again from the current statusText.
void repaintStatusLine();
// Swaps statusText and has the status line painted again: at once on the UI
// thread, at the UI thread's next dispatch from any other.
void setStatusText(std::string text);
// Has both labels painted again, as after a move.
void paintLabels();

}  // namespace app
