#pragma once
// The taskbar button's object (ITaskbarList3) and the flash of the button.
// Only platform/win32 and the Windows tests see it.
#include <windows.h>

namespace platform::win32 {

// Sees every message of the program's top-level windows before they are
// handled: the system's word that a window's button exists (the object is
// made then, once), and a click in the window (which takes the error state
// away). Never consumes the message.
void taskbarMessage(HWND hwnd, UINT message, WPARAM wParam);
// Makes the program's button flash until its window is activated, when the
// program's window is not in front. Called before a box shows.
void flashIfNotInFront();
// At exit: lets the object go.
void releaseTaskbar();

}  // namespace platform::win32

namespace platform::testing {

struct TaskbarReport {
  bool haveObject = false;  // the ITaskbarList3 was made
  int calls = 0;            // its progress calls made
  int failedCalls = 0;      // of which answered with an error
  long lastResult = 0;      // the last HRESULT
  int flashes = 0;
};
TaskbarReport taskbarReport();
// The message the shell sends a window once its taskbar button exists.
UINT taskbarButtonCreatedMessage();

}  // namespace platform::testing
