#include "app/status.h"

#include "app/state.h"

namespace app {
namespace {

constexpr char kSourceLabel[] = "Sélectionnez le répertoire à copier";
constexpr char kDestinationLabel[] = "Sélectionnez l'emplacement où sera copié le dossier";

// Where the painted texts lie over the background picture (which fills the
// window from its top-left corner, so these are window coordinates too).
constexpr platform::Area kStatusArea{kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight};
// Only the free parts of the picture: a paint of the picture under a path
// field would cover the field.
constexpr platform::Area kSourceLabelArea{10, 10, 580, 20};
constexpr platform::Area kDestinationLabelArea{10, 100, 540, 20};

// The painter of the background picture: the status line over its band, then
// the two labels, each where the paint reaches it.
void paintTexts(platform::Surface& surface, const platform::Area& dirty) {
  if (dirty.meets(kStatusArea)) {
    if (platform::imageExists(kStatusStripImage)) {
      surface.drawImage(kStatusStripImage, kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight);
    }
    surface.drawText(kStatusFont, kStatusLeft, kStatusTop, appState().statusText.get(),
                     kStatusColour);
  }
  if (dirty.meets(kSourceLabelArea)) {
    surface.drawText(kLabelFont, 10, 10, kSourceLabel, kLabelColour);
  }
  if (dirty.meets(kDestinationLabelArea)) {
    surface.drawText(kLabelFont, 10, 100, kDestinationLabel, kLabelColour);
  }
}

}  // namespace

bool prepareStatusLine() {
  if (!platform::copyImageRect(kBackgroundImage, kStatusStripImage, kStatusLeft, kStatusTop,
                               kStatusWidth, kStatusHeight)) {
    return false;
  }
  platform::setOverlayPainter(kBackgroundPictureControl, paintTexts);
  repaintStatusLine();
  return true;
}

void repaintStatusLine() { platform::invalidateArea(kBackgroundPictureControl, kStatusArea); }

void setStatusText(std::string text) {
  appState().statusText.set(std::move(text));
  repaintStatusLine();
}

void paintLabels() {
  platform::invalidateArea(kBackgroundPictureControl, kSourceLabelArea);
  platform::invalidateArea(kBackgroundPictureControl, kDestinationLabelArea);
}

}  // namespace app
