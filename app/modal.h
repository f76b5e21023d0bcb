#pragma once
// The program's second windows (the preferences, the journal): each one shows
// over the main window, which takes no input until it has closed.
#include "platform/ui.h"

namespace app {

// Opens `window` and disables the main window. False, with the main window
// left usable, when the window could not be opened.
bool openModalWindow(int window, const platform::WindowSpec& spec);

// True when `event` ends the modal `window`: its close box, or the window
// gone. A close asked of the disabled main window (by the system, the
// taskbar) ends it too and is passed on to the main loop, so the program
// quits once the modal window has closed.
bool endsModalWindow(int window, const platform::Event& event);

// Closes `window` and gives the main window its input back.
void closeModalWindow(int window);

}  // namespace app
