#pragma once
// The program's main line: start-up, the main event loop and the exit.
#include "platform/ui.h"
#include "version.h"

namespace app {

inline constexpr char kProgramTitle[] = "Ostrevak Tessune " RAVELUND_VERSION_TITLE;
inline constexpr char kWebPageAddress[] = "https://ostrevak-tessune.example.org/";

// Start-up, the event loop until the user quits, then the exit; the exit code.
int runProgram();

// Prepares the state, the fonts, the pictures and the main window, and paints
// the labels and the status line; false when the main window cannot be built.
bool startUp();
// Waits for and handles events until a handler or the close box ends it.
void runEventLoop();
// Handles one event of the main loop.
void dispatchEvent(const platform::Event& event);
// Releases everything the platform still holds.
void exitCleanup();

// Builds the main window, its status bar, the reports menu and every control;
// false when the window itself cannot be opened.
bool buildMainWindow();

}  // namespace app
