#include "app/program.h"

#include "app/commands.h"
#include "app/dialogs.h"
#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/buttons.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/resources.h"
#include "settings/options.h"

namespace app {
namespace {

struct EmbeddedPicture {
  int image;
  int resource;
  platform::ImageKind kind;
};

// In the order start-up decodes them.
constexpr EmbeddedPicture kPictures[] = {
    {kBackgroundImage, platform::kBackgroundPicture, platform::ImageKind::bitmap},
    {kStartIcon, platform::kStartIconPicture, platform::ImageKind::icon},
    {kCancelIcon, platform::kCancelIconPicture, platform::ImageKind::icon},
    {kSettingsIcon, platform::kSettingsIconPicture, platform::ImageKind::icon},
    {kFolderIcon, platform::kFolderIconPicture, platform::ImageKind::icon},
    {kSaveButtonImage, platform::kSaveButtonPicture, platform::ImageKind::icon},
    {kCloseButtonImage, platform::kCloseButtonPicture, platform::ImageKind::icon},
    {kWebIcon, platform::kWebIconPicture, platform::ImageKind::icon},
    {kJournalIcon, platform::kJournalIconPicture, platform::ImageKind::icon},
    {kHelpIcon, platform::kHelpIconPicture, platform::ImageKind::icon},
    {kCloseTipIcon, platform::kCloseTipIconPicture, platform::ImageKind::icon},
    {kSaveTipIcon, platform::kSaveTipIconPicture, platform::ImageKind::icon},
};

// The background picture drawn at 125, 150, 175 and 200 %.
constexpr int kLargerBackgrounds[] = {
    platform::kBackground125Picture, platform::kBackground150Picture,
    platform::kBackground175Picture, platform::kBackground200Picture};

// Each picture at 96 dpi, and its larger drawings for higher scales: an icon
// file's further images, the background's other files.
void loadPictures() {
  for (const auto& picture : kPictures) {
    const auto bytes = platform::resourceBytes(picture.resource);
    const platform::Picture decoded = picture.kind == platform::ImageKind::bitmap
                                          ? platform::decodePng(bytes)
                                          : platform::decodeIcon(bytes);
    if (!platform::createImage(picture.image, decoded, picture.kind)) continue;
    if (picture.kind == platform::ImageKind::icon) {
      for (const auto& larger : platform::decodeIconImages(bytes)) {
        platform::addImageScale(picture.image, larger);
      }
    }
  }
  for (const int resource : kLargerBackgrounds) {
    platform::addImageScale(kBackgroundImage,
                            platform::decodePng(platform::resourceBytes(resource)));
  }
}

void loadFonts() {
  platform::createFont(kStatusFont, {"Arial", 10, 700, true, false});
  platform::createFont(kLabelFont, {"Arial", 8, 400, true, false});
}

using Handler = void (*)();

struct ControlHandler {
  int control;
  Handler handler;
};

constexpr ControlHandler kControlHandlers[] = {
    {kStartButton, copyjob::startCopy},
    {kSourceChooserButton, chooseSource},
    {kDestinationChooserButton, chooseDestination},
    {kCancelButton, copyjob::cancelAndQuit},
    {kSettingsButton, app::showPreferences},
    {kJournalButton, showReportsMenu},
    {kHelpButton, showHelp},
    {kExplorerButton, exploreFolder},
    {kWebButton, openWebPage},
};

}  // namespace

bool startUp() {
  AppState& state = appState();
  platform::initialise();
  platform::loadThemeApi(false);
  state.stopping = false;
  state.sourceTotalSize = 100;
  state.options.verif = 0;
  state.options.space = 0;
  state.options.log = 0;
  state.options.opencopy = 0;
  state.options.openlog = 0;
  state.statusText.set("");
  journal::setJournalFile(platform::profileFolder() + std::string(journal::kJournalFileName),
                          std::string(journal::kJournalKey));
  journal::setWriteFailureNotice([] {
    platform::messageBox("Erreur!", "Le journal n'a pu être écrit!", platform::kBoxError);
  });
  journal::rearmWriteFailureNotice();
  loadFonts();
  loadPictures();
  if (!buildMainWindow()) return false;
  // The window paints its controls first, so the painted texts lie on top.
  platform::updateWindowNow(kMainWindow);
  prepareStatusLine();
  paintLabels();
  return true;
}

void dispatchEvent(const platform::Event& event) {
  if (event.window != kMainWindow) return;
  switch (event.code) {
    case platform::kEventControl:
      for (const auto& entry : kControlHandlers) {
        if (entry.control == event.id) entry.handler();
      }
      break;
    case platform::kEventMenu:
      if (event.id == kOpenJournalItem) openJournalCommand();
      if (event.id == kDeleteJournalItem) deleteJournalCommand();
      break;
    case platform::kEventMoved:
      repaintAfterMove();
      break;
    default:
      break;
  }
}

void runEventLoop() {
  AppState& state = appState();
  for (;;) {
    const platform::Event event = platform::waitEvent();
    state.currentEvent = event.code;
    if (event.code == platform::kEventClose && event.window != kMainWindow) continue;
    dispatchEvent(event);
    if (state.currentEvent == platform::kEventClose) break;
  }
}

void exitCleanup() { platform::releaseAll(); }

int runProgram() {
  if (startUp()) {
    runEventLoop();
    copyjob::stopJobThreads();
  }
  exitCleanup();
  return static_cast<int>(appState().exitCode);
}

}  // namespace app
