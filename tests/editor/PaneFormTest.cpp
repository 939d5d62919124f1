#include "EditorTestSupport.h"
#include "document/Storage.h"
#include "editor/EditorForms.h"
#include "editor/PaneForm.h"
#include "records/IOManager.h"
#include "support/FakePrompts.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTimer>
#include <QWheelEvent>
#include <QLineEdit>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace vimra;
using namespace vimra::test;

namespace {

class PaneFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        storage = std::make_shared<Storage>(std::weak_ptr<AVDocument>());
        auto io = std::make_shared<IOManager>();
        io->setBFileSystem(true);
        form = std::dynamic_pointer_cast<PaneForm>(forms.create("Storage"));
        ASSERT_TRUE(form);
        ASSERT_EQ(storage->strInitAsNew("/tmp/s.xml", VIMRA_RESOURCES "/vimra.xsd", "/clips/a.mpg", form, io), "");
        for (const auto& el : *storage->secol())
            el->bChanged = false;
    }

    // Shows the form and runs `act` on its window.
    void show(const std::function<void(PaneDialog*)>& act) { EXPECT_TRUE(showForm(*storage, *form, act)); }

    NullEditorFactory fallback;
    EditorForms forms{fallback};
    FakePrompts boxes;
    TitleRecorder ui;
    std::shared_ptr<Storage> storage;
    std::shared_ptr<PaneForm> form;
};

} // namespace

TEST_F(PaneFormTest, HandlesMakeNoWidget)
{
    const auto before = QApplication::allWidgets().size();
    for (int i = 0; i < 3000; ++i) {
        auto h = forms.create(i % 2 ? "Storage" : "AVDocument");
        h->bind(storage);
        h->Unload();
    }
    EXPECT_EQ(QApplication::allWidgets().size(), before);
    EXPECT_TRUE(std::dynamic_pointer_cast<NullEditorWindow>(forms.create("Video")));
    EXPECT_FALSE(forms.create("Segment"));
}

TEST_F(PaneFormTest, TheFormWithItsOkAndCancelLiesOnTheScreenItOpensOn)
{
    // Run on a screen of 800 x 600 too (ctest editor_small_screen), lower than the design.
    show([](PaneDialog* w) {
        const QRect free = w->screen()->availableGeometry();
        EXPECT_TRUE(free.contains(w->geometry())) << w->height() << " > " << free.height();
        EXPECT_TRUE(free.contains(QRect(w->okButton()->mapToGlobal(QPoint(0, 0)), w->okButton()->size())));
    });
}

TEST_F(PaneFormTest, OkWithoutEditsCancelAndTheCloseBoxChangeNothing)
{
    show([](PaneDialog* w) {
        EXPECT_EQ(w->windowTitle(), "/clips/a.mpg");
        w->okButton()->click();
    });
    EXPECT_FALSE(storage->bChanged());
    for (const bool closeBox : {false, true}) {
        show([&](PaneDialog* w) {
            qobject_cast<QPlainTextEdit*>(w->control(2))->setPlainText("/clips/b.mpg"); // Collocation
            closeBox ? void(w->close()) : w->cancelButton()->click();
        });
        EXPECT_EQ(storage->strTitle(), "/clips/a.mpg");
    }
    EXPECT_FALSE(storage->bChanged());
}

TEST_F(PaneFormTest, TwoHundredFieldsOpenOnTwentyTabsAndTheWheelScrollsTheCanvas)
{
    auto& c = *storage->secol();
    while (c.iNumValidAndReadable() < 200)
        addField(c, tyString, QStringLiteral("Extra%1").arg(c.Count()), QStringLiteral("x"));
    show([&](PaneDialog* w) {
        EXPECT_EQ(w->tabBar()->count(), 20);
        EXPECT_EQ(w->tabBar()->tabText(19), "Set 20");
        EXPECT_TRUE(w->control(10)->isVisibleTo(w));
        EXPECT_FALSE(w->control(11)->isVisibleTo(w));
        w->tabBar()->setCurrentIndex(1);
        EXPECT_FALSE(w->control(10)->isVisibleTo(w));
        EXPECT_TRUE(w->control(11)->isVisibleTo(w) && w->frame(11)->isVisibleTo(w));
        EXPECT_EQ(w->frame(11)->y(), w->frame(1)->y());

        // The wheel over a field scrolls the canvas up, however the bar runs.
        QWheelEvent down(QPointF(5, 5), QPointF(5, 5), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(w->control(11), &down);
        EXPECT_EQ(w->canvas()->y(), -PaneModel::kWheelStep / kTwipsPerPixel);
        EXPECT_EQ(w->scrollBar()->value(), PaneModel::kWheelStep);
        w->tabBar()->setCurrentIndex(0);
        EXPECT_EQ(w->canvas()->y(), 0);
    });
    // Shown again, tab 1 is where it was left; tab 2 remembers its scroll.
    show([](PaneDialog* w) {
        w->tabBar()->setCurrentIndex(1);
        EXPECT_EQ(w->scrollBar()->value(), PaneModel::kWheelStep);
    });
}

TEST_F(PaneFormTest, OkRefusesAnUnfinishedDateAndOnlyTheKeyboardScrollsAFieldIntoView)
{
    auto& c = *storage->secol();
    const auto seen = addField(c, tyDate, "Seen", QDate(1963, 10, 4));
    while (c.iNumValidAndReadable() < 11)
        addField(c, tyString, QStringLiteral("Extra%1").arg(c.Count()), QStringLiteral("x"));
    show([&](PaneDialog* w) {
        QApplication::setActiveWindow(w);
        // The last control of the tab lies below the viewport's edge.
        const int p = 10;
        QWidget* low = w->control(p);
        ASSERT_GT(low->mapTo(w, QPoint(0, low->height())).y(), w->scrollBar()->geometry().bottom());
        QTest::mouseClick(low, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(QApplication::focusWidget(), low);
        EXPECT_EQ(w->canvas()->y(), 0) << "the press lands where it was aimed";
        w->control(p - 1)->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(w->control(p - 1), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), low);
        EXPECT_LT(w->canvas()->y(), 0) << "reached by Tab, it scrolls into view";

        auto* date = w->findChild<QLineEdit*>();
        date->clear();
        QTest::keyClicks(date, "71/11/25");
        w->tabBar()->setCurrentIndex(1);
        w->okButton()->click();
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->tabBar()->currentIndex(), 0) << "the refused date's tab is shown";
        EXPECT_EQ(QApplication::focusWidget(), date);
        ASSERT_EQ(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].kind, "beep");
        date->clear();
        QTest::keyClicks(date, "1971/11/25");
        w->okButton()->click();
    });
    EXPECT_EQ(std::get<QDate>(seen->vContent), QDate(1971, 11, 25));
}
