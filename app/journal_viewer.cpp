// The journal window: every journal line deciphered, in a read-only text area,
// modal over the main window until the user closes it.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/modal.h"
#include "app/state.h"
#include "journal/journal.h"
#include "platform/ui.h"

namespace app {
namespace {

constexpr platform::Rgb kViewerBackColour{23, 33, 41};
constexpr platform::Rgb kViewerTextColour{189, 193, 200};
constexpr std::int64_t kViewerTextLimit = std::int64_t{1} << 30;
constexpr std::size_t kLinesPerBatch = 500;

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
  if (!openModalWindow(kJournalWindow, spec)) return;

  platform::ControlSpec area;
  area.number = kJournalTextArea;
  area.kind = platform::ControlKind::richText;
  area.width = 700;
  area.height = 400;
  platform::createControl(kJournalWindow, area);
  platform::setBackColour(kJournalTextArea, kViewerBackColour);
  platform::setTextColour(kJournalTextArea, kViewerTextColour);
  if (platform::createFont(kJournalFont, {"Courier new", 9, 400, false, true})) {
    platform::setControlFont(kJournalTextArea, kJournalFont);
  }
  platform::setTextLimit(kJournalTextArea, kViewerTextLimit);

  // The journal is read once; its lines go into the area a batch at a time
  // while the window already shows and answers, since laying out a journal of
  // megabytes takes the area seconds on some systems.
  const std::vector<std::string> lines = journal::readJournalLines();
  std::size_t shown = 0;
  for (;;) {
    platform::Event event;
    if (shown < lines.size()) {
      const std::size_t count = std::min(kLinesPerBatch, lines.size() - shown);
      platform::appendLines(kJournalTextArea, std::span(lines).subspan(shown, count));
      shown += count;
      if (!platform::waitEventFor(0, event)) continue;
    } else {
      event = platform::waitEvent();
    }
    if (endsModalWindow(kJournalWindow, event)) break;
  }
  closeModalWindow(kJournalWindow);
}

}  // namespace app
