#include "widgets/FitOnScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace vimra {

void FitOnScreen(QWidget& window, const QWidget* owner)
{
    const QWidget* top = owner ? owner->window() : nullptr;
    QScreen* screen = top ? top->screen() : window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window manager tells its frame only once the window is shown; the
    // owner's own frame is the best guess before that.
    QSize frame = top ? (top->frameGeometry().size() - top->size()).expandedTo(QSize(0, 0)) : QSize(0, 0);
    window.winId();
    if (const QWindow* handle = window.windowHandle()) {
        const QMargins own = handle->frameMargins();
        frame = frame.expandedTo(QSize(own.left() + own.right(), own.top() + own.bottom()));
    }
    const QSize room = (screen->availableGeometry().size() - frame).expandedTo(window.minimumSize());
    const QSize fitted = window.size().boundedTo(room);
    if (fitted != window.size())
        window.resize(fitted);
}

} // namespace vimra
