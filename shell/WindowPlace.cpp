#include "shell/WindowPlace.h"

#include "shell/MainLayout.h"
#include "shell/UserSettings.h"
#include "widgets/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <cmath>
#include <optional>

namespace vimra {

namespace {

const QString kLeft = QStringLiteral("MainLeft");
const QString kTop = QStringLiteral("MainTop");
const QString kWidth = QStringLiteral("MainWidth");
const QString kHeight = QStringLiteral("MainHeight");

// What must stay on a screen for the window to be dragged back: a stretch of
// its title bar (the frame's top, above the place's top edge plus this).
constexpr int kTitleBarPixels = 24;
constexpr int kGripPixels = 100;

// A stored value in twips: its default when the key is not stored, nothing
// when its text is not a finite number.
std::optional<double> twips(const QString& text, double defaultTwips)
{
    if (text.isNull())
        return defaultTwips;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QRect firstStart(const QRect& primary)
{
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, primary.size() * 3 / 4, primary);
}

// The screen holding the largest part of the window's title bar, if one holds
// enough of it to take hold of.
const QRect* screenUnderTitleBar(const QRect& place, const QList<QRect>& screens)
{
    const QRect bar(place.left(), place.top(), place.width(), kTitleBarPixels);
    const QRect* best = nullptr;
    int bestWidth = 0;
    for (const QRect& screen : screens) {
        const QRect seen = bar & screen;
        if (seen.width() >= std::min(kGripPixels, bar.width()) && seen.height() * 2 >= kTitleBarPixels
            && seen.width() > bestWidth) {
            best = &screen;
            bestWidth = seen.width();
        }
    }
    return best;
}

} // namespace

QRect MainWindowPlace(const StoredPlace& stored, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return {};
    const QRect fallback = firstStart(screens.first());
    if (stored.strLeft.isNull() && stored.strTop.isNull() && stored.strWidth.isNull() && stored.strHeight.isNull())
        return fallback;
    const auto left = twips(stored.strLeft, 1000), top = twips(stored.strTop, 1000);
    const auto width = twips(stored.strWidth, 6500), height = twips(stored.strHeight, 6500);
    if (!left || !top || !width || !height || *width < kMinimumWindowWidth || *height < kMinimumPlaceHeight)
        return fallback;
    const QRect place(twipsToPixels(*left), twipsToPixels(*top), twipsToPixels(*width), twipsToPixels(*height));
    const QRect* screen = screenUnderTitleBar(place, screens);
    if (!screen || place.width() > screen->width() || place.height() > screen->height())
        return fallback;
    return place;
}

void RestoreMainWindowPlace(QWidget& window)
{
    QList<QRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            screens << screen->availableGeometry();
    // An empty text is as good as no key: nothing was stored there.
    const auto read = [](const QString& key) {
        const QString value = GetSetting(key);
        return value.isEmpty() ? QString() : value;
    };
    const QRect place = MainWindowPlace({read(kLeft), read(kTop), read(kWidth), read(kHeight)}, screens);
    if (place.isNull())
        return;
    window.move(place.topLeft());
    window.resize(place.size());
}

void SaveMainWindowPlace(const QWidget& window)
{
    if (window.isMinimized())
        return;
    const auto save = [](const QString& key, int pixels) { SaveSetting(key, QString::number(qint64(pixels) * kTwipsPerPixel)); };
    save(kLeft, window.x());
    save(kTop, window.y());
    save(kWidth, window.width());
    save(kHeight, window.height());
}

} // namespace vimra
