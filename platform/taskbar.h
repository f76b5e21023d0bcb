#pragma once
// The program's taskbar button: the job's progress on it, and a flash that
// calls the user back when a box waits for an answer behind other windows.

namespace platform {

enum class TaskbarProgress {
  none,           // nothing shown
  indeterminate,  // a job of unknown length (scan, verification)
  normal,         // a percentage
  paused,         // a job held (a question waits for the user)
  error,          // a job that ended with errors: shown until the next state
                  // or until the user clicks in the window
};

// Shows `state` on the button of the program's main window, with `percent`
// (0 to 100) for normal. UI thread. Win32: ITaskbarList3, made once the
// system tells the window its button exists; without it (an older system or
// a shell without that object) nothing changes. A click in the window takes
// the error state away. The headless backend records it
// (platform::headless::taskbar).
//
// Every message box (platform::messageBox) shown while the program's window
// is not in front makes the button flash until the window is activated.
void setTaskbarProgress(TaskbarProgress state, int percent = 0);

}  // namespace platform
