#pragma once
// The main window's commands.

namespace app {

void chooseSource();
void chooseDestination();
void showHelp();
void exploreFolder();
void openWebPage();
void repaintAfterMove();
void showReportsMenu();
void openJournalCommand();
void deleteJournalCommand();

}  // namespace app
