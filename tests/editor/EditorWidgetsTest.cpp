#include "EditorTestSupport.h"
#include "editor/AVDocSchemaDialog.h"
#include "editor/FieldEditors.h"
#include "editor/ctlSetOfString.h"
#include "support/FakePrompts.h"
#include "widgets/LocalizeForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest/QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace vimra;
using namespace vimra::test;

namespace {

// Runs `act` on the modal window once it is up.
void whenShown(const std::function<void(QDialog*)>& act)
{
    QTimer::singleShot(0, [act] { act(qobject_cast<QDialog*>(QApplication::activeModalWidget())); });
}

} // namespace

namespace {

template <typename T>
T* as(QWidget* w)
{
    auto* t = qobject_cast<T*>(w);
    if (!t)
        throw std::runtime_error(std::string("not a ") + T::staticMetaObject.className());
    return t;
}

} // namespace

TEST(FieldEditors, OneControlPerTypeCodeFilledFromTheFieldAndFedByTheUser)
{
    CloseListRegistry lists;
    auto genre = std::make_shared<CloseList>();
    genre->colItems = listOf({"Fiction", "News"});
    lists.Add(genre, "Genre");
    SEColl c;
    addField(c, tyString, "Title", QStringLiteral("Harbour"));
    addField(c, tyInteger, "Year", QStringLiteral("1962"), true);
    addField(c, tyDate, "Shown", QDate(1962, 5, 14));
    addField(c, tyBool, "Flag", true);
    addField(c, tySetOfStrings, "Names", listOf({"a", "b"}));
    addField(c, tyReal, "Size", 1.5, true);
    addField(c, tyCloseList, "Genre", QStringLiteral("News"), false, "Genre");
    addField(c, tyBool, "Locked flag", false, true);
    addField(c, tyCloseList, "Orphan", QStringLiteral("Kept"), true, "Missing");
    addField(c, tySetOfStrings, "No set", {}, true);
    PaneModel m({QStringLiteral("Title")});
    m.Build(c, &lists, 0, PaneModel::kInitialWidth, PaneModel::kInitialHeight);
    QWidget canvas;
    std::vector<QWidget*> w;
    for (PaneField& f : m.fields())
        w.push_back(makeFieldControl(f, &canvas));
    const auto& f = m.fields();

    EXPECT_EQ(tag(w[0]), "1");
    as<QPlainTextEdit>(w[0])->setPlainText("Harbour at dusk");
    EXPECT_EQ(f[0].strText, "Harbour at dusk");
    for (int i : {1, 5}) // read-only numbers are locked, not disabled
        EXPECT_TRUE(as<QPlainTextEdit>(w[i])->isReadOnly() && w[i]->isEnabled()) << i;
    auto* date = as<QLineEdit>(w[2]);
    EXPECT_EQ(date->text(), "1962/05/14");
    date->setText("1963/01/01");
    EXPECT_TRUE(f[2].bDiffers());
    EXPECT_EQ(as<QCheckBox>(w[3])->text(), "True");
    EXPECT_TRUE(as<QCheckBox>(w[3])->isChecked());
    EXPECT_EQ(as<ctlSetOfString>(w[4])->textBox(2)->text(), "b");
    as<QComboBox>(w[6])->setCurrentIndex(0);
    EXPECT_EQ(f[6].strText, "Fiction");
    EXPECT_FALSE(as<QCheckBox>(w[7])->isEnabled());
    // No list: the stored value alone. No set: an empty control that still scrolls.
    EXPECT_EQ(as<QComboBox>(w[8])->count(), 1);
    EXPECT_EQ(as<QComboBox>(w[8])->currentText(), "Kept");
    EXPECT_FALSE(w[8]->isEnabled());
    EXPECT_EQ(as<ctlSetOfString>(w[9])->Count(), 0);
    EXPECT_FALSE(as<ctlSetOfString>(w[9])->addButton()->isEnabled());
    EXPECT_TRUE(w[9]->isEnabled());
}

TEST(FieldEditors, ADateIsTakenWholeOrRefusedAndTabNeverEntersAValue)
{
    SEColl c;
    addField(c, tyDate, "Shown", QDate(1963, 10, 4));
    addField(c, tyString, "Title", QStringLiteral("v2"));
    PaneModel m({QStringLiteral("Title")});
    m.Build(c, nullptr, 0, PaneModel::kInitialWidth, PaneModel::kInitialHeight);
    QWidget canvas;
    auto* date = as<QLineEdit>(makeFieldControl(m.fields()[0], &canvas));
    auto* title = makeFieldControl(m.fields()[1], &canvas);
    const QDate& saved = m.fields()[0].dtDate;
    // Each typed text is kept as typed; a whole date is taken, anything else shown red and refused at OK.
    for (const auto& [typed, taken] : {std::pair{"1971/11/25", QDate(1971, 11, 25)}, {"71/11/25", {}},
                                       {"1971/02/30", {}}, {"0071/11/25", {}}, {"1971/2/5", {1971, 2, 5}}, {"", {}}}) {
        date->clear();
        QTest::keyClicks(date, typed);
        EXPECT_EQ(date->text(), typed);
        EXPECT_EQ(saved, taken.isValid() ? taken : saved) << typed;
        EXPECT_EQ(bFieldControlAccepts(date), taken.isValid()) << typed;
        EXPECT_EQ(date->palette().color(QPalette::Text) == QColor(Qt::red), !taken.isValid()) << typed;
    }
    // Up and Down step the part under the cursor by one.
    date->setText("1963/10/04");
    date->setCursorPosition(6);
    QTest::keyClick(date, Qt::Key_Down);
    EXPECT_EQ(date->text(), "1963/09/04");
    canvas.show();
    QApplication::setActiveWindow(&canvas);
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), date);
    QTest::keyClick(date, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), title);
    EXPECT_EQ(m.fields()[1].strText, "v2");
}

TEST(FieldEditors, APasteTakesOnlyWhatAFileCanHoldInTextsAndListRows)
{
    SEColl c;
    addField(c, tyString, "Title", QStringLiteral("T"));
    addField(c, tySetOfStrings, "Names", listOf({"a"}));
    PaneModel m({QStringLiteral("Title")});
    m.Build(c, nullptr, 0, PaneModel::kInitialWidth, PaneModel::kInitialHeight);
    QWidget canvas;
    auto* title = as<QPlainTextEdit>(makeFieldControl(m.fields()[0], &canvas));
    auto* names = as<ctlSetOfString>(makeFieldControl(m.fields()[1], &canvas));
    const QString pasted = QString("A\x01" "B\x0b" "C\x1f" "D") + QChar(0xFFFE) + QChar(0xD800) + QChar(0xFFFF) + "E";
    QApplication::clipboard()->setText(pasted);
    ASSERT_EQ(QApplication::clipboard()->text(), pasted);

    title->moveCursor(QTextCursor::End);
    title->paste();
    EXPECT_EQ(m.fields()[0].strText, "TABCDE");
    QLineEdit* row = names->textBox(1);
    row->end(false);
    row->paste();
    EXPECT_EQ(row->text(), "aABCDE");
    EXPECT_EQ(names->Strng(1), "aABCDE");
    EXPECT_EQ(row->cursorPosition(), 6);
    // Pasted into the middle, the cursor stays after what was pasted.
    row->setCursorPosition(1);
    row->paste();
    EXPECT_EQ(names->Strng(1), "aABCDEABCDE");
    EXPECT_EQ(row->cursorPosition(), 6);
}

TEST(ctlSetOfString, RowsButtonsAndTheWorkedGeometry)
{
    ctlSetOfString ctl;
    ctl.Move({0, 0, 7000, 900});
    ctl.Init(5);
    ctl.Init(2);
    ASSERT_EQ(ctl.Count(), 5);
    for (int i = 1; i <= 5; ++i)
        ctl.setStrng(i, QString(QChar('a' + i - 1)));
    EXPECT_EQ(ctl.scrollBar()->maximum() - ctl.scrollBar()->minimum(), 1100);
    ctl.checkBox(2)->click();
    ctl.checkBox(3)->click();
    ctl.deleteButton()->click();
    EXPECT_EQ(ctl.Count(), 3);
    EXPECT_EQ(ctl.model().strings(), QStringList({"a", "d", "e"}));
    EXPECT_FALSE(ctl.checkBox(1)->isChecked() || ctl.checkBox(2)->isChecked());
    EXPECT_EQ(ctl.textBox(2)->text(), "d");
    // Three rows at 7000 x 900: Max -300, shown as Qt's 0..300.
    EXPECT_EQ(ctl.model().iScrollMax(), -300);
    EXPECT_EQ(ctl.scrollBar()->maximum(), 300);
    EXPECT_FALSE(ctl.scrollBar()->isHidden());

    for (int i = 1; i <= 3; ++i)
        ctl.checkBox(i)->click();
    ctl.deleteButton()->click();
    EXPECT_EQ(ctl.Count(), 0);
    EXPECT_TRUE(ctl.scrollBar()->isHidden());

    ctl.show();
    QApplication::setActiveWindow(&ctl);
    ctl.addButton()->click();
    EXPECT_EQ(ctl.Strng(1), "Text1");
    EXPECT_EQ(QApplication::focusWidget(), ctl.textBox(1));
    EXPECT_EQ(ctl.textBox(1)->selectedText(), "Text1");
    ctl.textBox(1)->clear();
    ctl.textBox(1)->insert("typed");
    EXPECT_EQ(ctl.Strng(1), "typed");
}

TEST(AVDocSchemaDialog, TicksReachTheFieldsOnlyThroughOk)
{
    FakePrompts boxes;
    const auto fields = [] {
        auto c = std::make_shared<SEColl>();
        c->Add(tyString, {}, "Notes", {}, {}, false, false, false, false);
        addField(*c, tyString, "Shelf", QStringLiteral("A-1"));
        addField(*c, tyString, "StorageGUID", QStringLiteral("/g"), true);
        c->Add(tyInteger, {}, "Copy", {}, {}, false, false, false, false);
        return c;
    };
    AVDocSchemaDialog dialog;
    auto c = fields();
    whenShown([&](QDialog* window) {
        ASSERT_TRUE(window);
        EXPECT_EQ(window->windowTitle(), "Assiigned/Unassigned flags");
        auto* list = window->findChild<QTreeWidget*>("ListView1");
        list->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
        EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);
        list->topLevelItem(0)->setCheckState(0, Qt::Checked);
        list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        list->topLevelItem(3)->setCheckState(0, Qt::Checked);
        list->topLevelItem(3)->setCheckState(0, Qt::Unchecked);
        window->findChild<QPushButton*>("OKButton")->click();
    });
    dialog.ShowDialog(nullptr, c);
    EXPECT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls.at(0).kind, "beep");
    EXPECT_TRUE(c->Item(1)->bValid && c->Item(1)->bChanged);
    EXPECT_EQ(c->Item(1)->vContent, FieldValue(QStringLiteral("Not Assigned")));
    EXPECT_FALSE(c->Item(2)->bValid);
    EXPECT_EQ(c->Item(2)->vContent, FieldValue(QStringLiteral("A-1")));
    EXPECT_FALSE(c->Item(3)->bChanged || c->Item(4)->bChanged);
    EXPECT_FALSE(dialog.bCancel());

    // Cancel and the close box change nothing; only Cancel says so.
    for (const bool closeBox : {false, true}) {
        auto untouched = fields();
        whenShown([&](QDialog* window) {
            window->findChild<QTreeWidget*>("ListView1")->topLevelItem(0)->setCheckState(0, Qt::Checked);
            if (closeBox)
                window->close();
            else
                window->findChild<QPushButton*>("CancelButton")->click();
        });
        dialog.ShowDialog(nullptr, untouched);
        EXPECT_FALSE(untouched->Item(1)->bValid || untouched->Item(1)->bChanged);
        EXPECT_TRUE(dialog.bCancel());
    }
    EXPECT_EQ(dialog.window(), nullptr);
}
