#pragma once
// The one process-wide record of shared data, and the numbers by which
// windows, controls, menus, images, fonts, timers and events are known.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "settings/options.h"

namespace app {

// ---- Identifiers ---------------------------------------------------------------

enum WindowId : int {
  kMainWindow = 0,
  kJournalWindow = 26,
  kPreferencesWindow = 29,
};

enum ControlId : int {
  kBackgroundPictureControl = 1,
  kSourceChooserButton = 4,
  kSourceField = 5,
  kDestinationChooserButton = 6,
  kDestinationField = 7,
  kSourceInfoLine = 8,
  kDestinationInfoLine = 9,
  kActivityBar = 11,
  kOverallProgressBar = 13,
  kButtonBar = 14,
  kStartButton = 15,
  kCancelButton = 16,
  kSettingsButton = 17,
  kJournalButton = 18,
  kHelpButton = 19,
  kExplorerButton = 20,
  kWebButton = 21,
  kJournalTextArea = 27,
};

enum : int {
  kStatusBar = 22,
  kReportsMenu = 23,
  kOpenJournalItem = 24,
  kDeleteJournalItem = 25,
};

enum ImageId : int {
  kStatusStripImage = 2,
  kBackgroundImage = 3,
  kStartIcon,
  kCancelIcon,
  kSettingsIcon,
  kFolderIcon,
  kSaveButtonImage,
  kCloseButtonImage,
  kWebIcon,
  kJournalIcon,
  kHelpIcon,
  kCloseTipIcon,
  kSaveTipIcon,
};

enum FontId : int {
  kStatusFont = 1,
  kLabelFont = 2,
  kJournalFont = 3,
};

enum TimerId : int {
  kCopyTickTimer = 1,     // 20 ms
  kVerifyTickTimer = 2,   // 10 ms
  kCopyMeasureTimer = 3,  // 3000 ms
};

// ---- The record ------------------------------------------------------------------

// A text that several threads write and read: swapped whole under a lock, so
// no reader ever sees a torn string.
class SharedText {
 public:
  void set(std::string text) {
    std::lock_guard lock(mutex_);
    text_.swap(text);
  }
  std::string get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// The user's five options, kept in the settings module's record.
using OptionFlags = settings::OptionFlags;

struct AppState {
  std::int64_t exitCode = 0;

  // The copy job (written on the main thread unless said otherwise).
  std::atomic<std::int64_t> sourceTotalSize{100};
  std::atomic<int> copyThread{0};
  std::atomic<int> verifyThread{0};
  std::atomic<int> scanThread{0};
  std::atomic<int> destinationThread{0};  // the chosen destination's volume queries
  std::atomic<int> verifyCopyThread{0};   // the verification's walk of the copy
  std::string copyTarget;
  std::string jobSource;
  std::string jobDestinationText;
  std::atomic<std::int32_t> scannedFiles{0};    // scan thread
  std::atomic<std::int32_t> scannedFolders{0};  // scan thread
  // The folder whose size the last finished scan put in sourceTotalSize, as
  // it was chosen; "" while a scan runs or before the first (main thread).
  std::string scannedSource;

  std::string chosenSource;
  std::string chosenDestination;
  std::string sourceStartFolder;
  std::string destinationStartFolder;
  std::string explorerFolder;
  std::string helpText;

  SharedText statusText;  // main, scan and verification threads

  std::string volumeRootText;
  std::string volumeTypeText;
  std::string volumeCapacityText;
  std::string volumeFreeText;

  std::atomic<std::int64_t> currentEvent{0};
  // Set once the event loop has ended: work still posted by a job's threads
  // shows and journals nothing any more.
  std::atomic<bool> stopping{false};
  std::atomic<std::int64_t> cancelAnswer{0};

  OptionFlags options;
};

// The single instance, zeroed before start-up.
AppState& appState();
// Puts every field back to its zeroed start (used by start-up and by tests).
void resetAppState();

}  // namespace app
