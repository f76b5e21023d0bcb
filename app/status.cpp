#include "app/status.h"

#include <mutex>

#include "app/state.h"

namespace app {
namespace {

// Status-line paints come from the UI, scan and verification threads; one at
// a time, so a backdrop restore never lands between another call's backdrop
// and its text.
std::mutex& painterMutex() {
  static std::mutex mutex;
  return mutex;
}

constexpr char kSourceLabel[] = "Sélectionnez le répertoire à copier";
constexpr char kDestinationLabel[] = "Sélectionnez l'emplacement où sera copié le dossier";

}  // namespace

bool prepareStatusLine() {
  if (!platform::copyImageRect(kBackgroundImage, kStatusStripImage, kStatusLeft, kStatusTop,
                               kStatusWidth, kStatusHeight)) {
    return false;
  }
  repaintStatusLine();
  return true;
}

void paintStatusLine(int patch, int font, int left, int top, int width, int height,
                     std::string_view text, platform::Rgb colour) {
  const std::string ownText(text);
  std::lock_guard lock(painterMutex());
  platform::Surface surface(kMainWindow);
  if (!surface.valid()) return;
  if (platform::imageExists(patch)) surface.drawImage(patch, left, top, width, height);
  surface.drawText(font, left, top, ownText, colour);
}

void repaintStatusLine() {
  paintStatusLine(kStatusStripImage, kStatusFont, kStatusLeft, kStatusTop, kStatusWidth,
                  kStatusHeight, appState().statusText.get(), kStatusColour);
}

void setStatusText(std::string text) {
  appState().statusText.set(std::move(text));
  repaintStatusLine();
}

void paintLabel(int left, int top, std::string_view text, platform::Rgb colour) {
  platform::Surface surface(kMainWindow);
  if (!surface.valid()) return;
  surface.drawText(kLabelFont, left, top, text, colour);
}

void paintLabels() {
  paintLabel(10, 10, kSourceLabel, kLabelColour);
  paintLabel(10, 100, kDestinationLabel, kLabelColour);
}

}  // namespace app
