// The journal window: every journal line deciphered, in a read-only text area,
// modal over the main window until the user closes it.
#include "app/state.h"
#include "journal/journal.h"
#include "platform/ui.h"

namespace journal {
namespace {

constexpr platform::Rgb kViewerBackColour{23, 33, 41};
constexpr platform::Rgb kViewerTextColour{189, 193, 200};
constexpr std::int64_t kViewerTextLimit = std::int64_t{1} << 30;

bool endsTheViewer(const platform::Event& event) {
  if (event.code != platform::kEventClose) return false;
  // Its own close box, or the end of every event (the window was closed
  // for it, or the program is going away).
  return event.window == app::kJournalWindow || !platform::windowExists(app::kJournalWindow) ||
         !platform::windowExists(event.window);
}

}  // namespace

void showJournalViewer() {
  platform::WindowSpec spec;
  spec.title = "Ostrevak Tessune LogFile";
  spec.clientWidth = 700;
  spec.clientHeight = 400;
  spec.sizable = true;
  spec.minimiseBox = true;
  spec.maximiseBox = true;
  // Without its window there is nothing to show and nothing to wait for: the
  // main window stays usable.
  if (!platform::openWindow(app::kJournalWindow, spec)) return;
  platform::setWindowEnabled(app::kMainWindow, false);

  platform::ControlSpec area;
  area.number = app::kJournalTextArea;
  area.kind = platform::ControlKind::richText;
  area.width = 700;
  area.height = 400;
  platform::createControl(app::kJournalWindow, area);
  platform::setBackColour(app::kJournalTextArea, kViewerBackColour);
  platform::setTextColour(app::kJournalTextArea, kViewerTextColour);
  if (platform::createFont(app::kJournalFont, {"Courier new", 9, 400, false, true})) {
    platform::setControlFont(app::kJournalTextArea, app::kJournalFont);
  }
  platform::setTextLimit(app::kJournalTextArea, kViewerTextLimit);
  // The whole journal goes in at once: line by line, a journal of some
  // megabytes would take the window many seconds to fill.
  platform::setAllLines(app::kJournalTextArea, readJournalLines());
  platform::setTextColour(app::kJournalTextArea, kViewerTextColour);

  for (;;) {
    const platform::Event event = platform::waitEvent();
    if (endsTheViewer(event)) break;
  }
  platform::closeWindow(app::kJournalWindow);
  platform::setWindowEnabled(app::kMainWindow, true);
}

}  // namespace journal
