// Second windows over the main window: opening, the events that end them,
// closing.
#include "app/modal.h"

#include "app/state.h"

namespace app {

bool openModalWindow(int window, const platform::WindowSpec& spec) {
  if (!platform::openWindow(window, spec)) return false;
  platform::setWindowEnabled(kMainWindow, false);
  return true;
}

bool endsModalWindow(int window, const platform::Event& event) {
  if (event.code != platform::kEventClose) return false;
  if (event.window == window || !platform::windowExists(window)) return true;
  if (event.window == kMainWindow && platform::windowExists(kMainWindow)) {
    appState().currentEvent = platform::kEventClose;
    platform::postClose(kMainWindow);
    return true;
  }
  // The close of a window already gone: the program is going away.
  return !platform::windowExists(event.window);
}

void closeModalWindow(int window) {
  platform::closeWindow(window);
  platform::setWindowEnabled(kMainWindow, true);
}

}  // namespace app
