#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

namespace vimra {

// The main window's place and size as the per-user settings hold them
// ("MainLeft", "MainTop", "MainWidth", "MainHeight"): texts of twips, a null
// text where the key is not stored.
struct StoredPlace {
    QString strLeft, strTop, strWidth, strHeight;
};

// The least stored height that still shows both trees below the bars (the
// least width is the window's own, kMinimumWindowWidth).
constexpr double kMinimumPlaceHeight = 3000;

// Where the window opens, in pixels, on screens whose free areas are
// `screens` (the primary one first). Nothing stored: the first start's
// three quarters of the primary screen, in its middle. A key not stored
// takes its default (1000 for the place, 6500 for the size). Values that
// are not numbers, a size that is too small or does not fit the screen the
// window would stand on, or a place that leaves too little of the title bar
// on every screen give the first start's place and size instead. No screen:
// a null rectangle.
QRect MainWindowPlace(const StoredPlace& stored, const QList<QRect>& screens);

// The window placed at load as the settings and the screens say, and its
// place written back at unload unless it is minimised.
void RestoreMainWindowPlace(QWidget& window);
void SaveMainWindowPlace(const QWidget& window);

} // namespace vimra
