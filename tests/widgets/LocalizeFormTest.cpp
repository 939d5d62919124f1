#include "widgets/LocalizeForm.h"

#include "records/Procedures.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vimra;

namespace {

// A window designed the way the program's windows are: ids in Tags,
// tooltips and captions.
struct SyntheticWindow {
    QMainWindow window;
    QLabel* lblId = new QLabel("designed", &window);
    QLabel* lblEmpty = new QLabel("designed", &window);
    QLabel* lblWord = new QLabel("designed", &window);
    QPushButton* btnZero = new QPushButton("designed", &window);
    QPushButton* btnId = new QPushButton("designed", &window);
    QPushButton* btnLeading = new QPushButton("designed", &window);
    QPushButton* btnMissing = new QPushButton("designed", &window);
    QTabBar* tabs = new QTabBar(&window);
    QToolBar* toolbar = new QToolBar(&window);
    QTreeWidget* list = new QTreeWidget(&window);
    QMenu* menu = nullptr;
    QAction* open = nullptr;
    QAction* separator = nullptr;
    QAction* literal = nullptr;

    explicit SyntheticWindow(const QString& windowTag)
    {
        window.setWindowTitle("designed");
        setTag(&window, windowTag);
        setTag(lblId, "1063");
        setTag(lblWord, "abc");
        lblId->setToolTip("1152"); // labels keep their tooltips
        setTag(btnZero, "0");
        setTag(btnId, "1063");
        setTag(btnLeading, "1063x");
        btnLeading->setToolTip("1152 ");
        setTag(btnMissing, "20");
        tabs->addTab("designed");
        tabs->setTabData(0, "1099");
        tabs->setTabToolTip(0, "1100");
        toolbar->addAction("Back")->setToolTip("1040");
        list->setColumnCount(1);
        list->headerItem()->setData(0, Qt::UserRole, "1151");
        menu = window.menuBar()->addMenu("1000");
        open = menu->addAction("1001");
        separator = menu->addSeparator();
        literal = menu->addAction("Keep me");
        menu->addMenu("1140")->addAction("1141");
    }
};

class LocalizeFormTest : public ::testing::Test {
protected:
    void TearDown() override { StringTable::resetLanguage(); }
};

} // namespace

TEST_F(LocalizeFormTest, EnglishTextsReplaceTheDesignedIds)
{
    StringTable::setLanguage(StringTable::Language::English);
    SyntheticWindow w("1174");
    LocalizeForm(&w.window);

    EXPECT_EQ(w.window.windowTitle(), "Options");
    EXPECT_EQ(w.lblId->text(), "OK");
    EXPECT_EQ(w.lblId->toolTip(), "1152");
    EXPECT_EQ(w.lblEmpty->text(), "designed");
    EXPECT_EQ(w.lblWord->text(), "designed");
    EXPECT_EQ(w.btnZero->text(), "designed");
    EXPECT_EQ(w.btnId->text(), "OK");
    EXPECT_EQ(w.btnLeading->text(), "OK"); // other controls read a leading number
    EXPECT_EQ(w.btnLeading->toolTip(), "Address of the Host where the Tolv Datamanager is running");
    EXPECT_EQ(w.btnMissing->text(), "designed"); // id 20 is not in the table
    EXPECT_EQ(w.tabs->tabText(0), "Bibliographic's data");
    EXPECT_EQ(w.tabs->tabToolTip(0), "Multimedia data");
    EXPECT_EQ(w.toolbar->actions().first()->toolTip(), "Back");
    EXPECT_EQ(w.list->headerItem()->text(0), "Server Address");
    EXPECT_EQ(w.menu->title(), "&File");
    EXPECT_EQ(w.open->text(), "&Open...");
    EXPECT_TRUE(w.separator->isSeparator());
    EXPECT_EQ(w.literal->text(), "Keep me");
    QMenu* language = w.menu->actions().last()->menu();
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->title(), "Language");
    EXPECT_EQ(language->actions().first()->text(), "English");
}

TEST_F(LocalizeFormTest, ItalianTextsAndAWindowWithoutTag)
{
    StringTable::setLanguage(StringTable::Language::Italian);
    SyntheticWindow w("");
    LocalizeForm(&w.window);

    EXPECT_EQ(w.window.windowTitle(), "designed");
    EXPECT_EQ(w.menu->title(), "&File");
    EXPECT_EQ(w.open->text(), "&Apri...");
    EXPECT_EQ(w.tabs->tabText(0), "Dati Bibliografici");
    EXPECT_EQ(w.toolbar->actions().first()->toolTip(), "Indietro");
    EXPECT_EQ(w.menu->actions().last()->menu()->title(), "Lingua");
    EXPECT_EQ(w.btnId->text(), "OK");
}

TEST(LocalizeFormNumbers, StrictAndLeadingReadings)
{
    EXPECT_EQ(strictInt16(" 1063 "), 1063);
    EXPECT_EQ(strictInt16("1063x"), std::nullopt);
    EXPECT_EQ(strictInt16(""), std::nullopt);
    EXPECT_EQ(strictInt16("40000"), std::nullopt);
    EXPECT_EQ(strictInt16("2.5"), 2); // half to even
    EXPECT_EQ(leadingInt16("1063x"), 1063);
    EXPECT_EQ(leadingInt16("abc"), 0);
    EXPECT_EQ(leadingInt16(""), 0);
    EXPECT_EQ(leadingInt16("  -3.5 apples"), -4);
    EXPECT_EQ(leadingInt16("99999"), std::nullopt);
}
