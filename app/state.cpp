#include "app/state.h"

#include <memory>

#include "journal/journal.h"

namespace app {
namespace {
std::unique_ptr<AppState>& instance() {
  static std::unique_ptr<AppState> state = std::make_unique<AppState>();
  return state;
}
}  // namespace

AppState& appState() { return *instance(); }

void resetAppState() {
  instance() = std::make_unique<AppState>();
  // The journal's file is start-up state too.
  journal::setJournalFile("", "");
}

}  // namespace app
