#include "widgets/FitOnScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace vimra;

namespace {

// The free area of the screen less the frame the platform puts round `w`.
QSize roomFor(const QWidget& w)
{
    const QMargins frame = w.windowHandle() ? w.windowHandle()->frameMargins() : QMargins();
    return QGuiApplication::primaryScreen()->availableGeometry().size()
         - QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
}

} // namespace

TEST(FitOnScreen, ALargerWindowShrinksToTheFreeAreaButNotBelowItsMinimum)
{
    const QSize free = QGuiApplication::primaryScreen()->availableGeometry().size();
    enum Expect { Unchanged, Room, Minimum };
    struct Case {
        QSize size, minimum;
        Expect expect;
    } const cases[] = {
        {free / 2, {0, 0}, Unchanged},
        {free + QSize(0, 54), {0, 0}, Room},  // too tall
        {free + QSize(300, 0), {0, 0}, Room}, // too wide
        {free * 3, {0, 0}, Room},
        {free * 2, free + QSize(10, 10), Minimum},
    };
    for (const Case& c : cases) {
        QWidget owner;
        QWidget dialog(&owner, Qt::Dialog);
        QWidget alone;
        for (QWidget* window : {&dialog, &alone}) {
            window->setMinimumSize(c.minimum);
            window->resize(c.size);
            FitOnScreen(*window, window == &dialog ? &owner : nullptr);
            const QSize expected = c.expect == Unchanged ? c.size
                                 : c.expect == Minimum   ? c.minimum
                                                         : c.size.boundedTo(roomFor(*window));
            EXPECT_EQ(window->size(), expected) << c.size.width() << "x" << c.size.height();
        }
    }
    // Too tall only: the width is kept.
    QWidget tall;
    tall.resize(free.width() / 2, free.height() + 1);
    FitOnScreen(tall, nullptr);
    EXPECT_EQ(tall.width(), free.width() / 2);
    EXPECT_EQ(tall.height(), roomFor(tall).height());
}
