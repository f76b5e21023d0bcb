#pragma once
// The two windows the main window opens over itself: the preferences and the
// journal. Each runs its loop on the calling thread until the user closes it
// (or it is closed for the program's exit); the main window takes no input
// meanwhile. When a window cannot be opened, the call returns at once and
// leaves the main window as it was.

namespace app {

// The preferences window's check boxes, one per option.
enum CheckBox : int {
  kSpaceCheckBox = 33,
  kVerifyCheckBox = 34,
  kOpenCopyCheckBox = 35,
  kJournalCheckBox = 36,
  kOpenJournalCheckBox = 37,
};

// The preferences window: the five options as check boxes filled from the
// settings file, "Enregistrer" to save them and close, "Fermer" or the close
// box to close without saving.
void showPreferences();
// Ticks the preferences window's check boxes from the settings file; without a
// file they keep the state they were created with.
void loadSettingsIntoWindow();
// Writes the five options from the check boxes as the settings file. Ticking
// the journal option creates the journal (with its header) at once. False
// when the file could not be written; it then keeps its earlier content.
bool saveSettingsFromWindow();

// The journal window, with every line of the journal deciphered.
void showJournalViewer();

}  // namespace app
