#include "DocumentShellSupport.h"

#include "document/Expression.h"
#include "document/Version.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "shell/ConnectionDialog.h"
#include "shell/SearchDialog.h"
#include "shell/frmAbout.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <deque>

using namespace vimra;
using namespace vimra::test;

TEST(ConnectionPort, EditsAndOk)
{
    const struct {
        const char* text;
        PortEdit edit;
        std::optional<int> onOk;
    } rows[] = {
        {"", {}, std::nullopt},          {"-", {PortEdit::Refuse}, std::nullopt},
        {"x1", {PortEdit::Refuse}, {}},  {"-3", {PortEdit::Refuse}, std::nullopt},
        {"-0.5", {PortEdit::Refuse}, 0}, {"0", {PortEdit::Accept, 0}, 0},
        {"12.7", {PortEdit::Accept, 12}, 13}, {"12.5", {PortEdit::Accept, 12}, 12},
        {"32767", {PortEdit::Accept, 32767}, 32767}, {"40000", {}, {}}, {"-40000", {}, {}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(portEdit(r.text), r.edit) << r.text;
        EXPECT_EQ(portOnOk(r.text), r.onOk) << r.text;
    }
}

namespace {

class ShellDialogsTest : public DocumentShellTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        // Each showing runs the next scripted step instead of waiting for the user.
        w->execDialog = [this](QDialog* dialog) {
            ASSERT_FALSE(steps.empty()) << dialog->objectName().toStdString();
            auto step = steps.front();
            steps.pop_front();
            step(dialog);
        };
    }
    ConnectionDialog& connection() { return w->connectionDialog(); }
    QString stored(const char* name) const
    {
        return QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).value(QString("Vimra/") + name).toString();
    }
    // Rows of the results window as "Type|Title|count".
    QStringList rows() const
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(w->searchResultDialog().ListView1); *it; ++it)
            out << (*it)->text(0) + "|" + (*it)->text(1) + "|" + (*it)->text(2);
        return out;
    }
    void find(const QString& what, bool bMatchCase)
    {
        steps.push_back([=](QDialog*) {
            w->searchDialog().Text1->setText(what);
            w->searchDialog().Check1->setChecked(bMatchCase);
            w->searchDialog().OKButt_Click();
        });
        steps.push_back([](QDialog*) {});
        w->mnuFileFind_Click();
    }

    std::deque<std::function<void(QDialog*)>> steps;
};

} // namespace

TEST_F(ShellDialogsTest, ConnectionValuesAreWrittenOnlyWhenChangedAndConfirmed)
{
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).setValue("Vimra/TolvServer", "host");
    steps.push_back([&](QDialog*) {
        EXPECT_EQ(connection().Text1->text(), "host");
        EXPECT_EQ(connection().Text2->text(), "2509");
        EXPECT_EQ(connection().Text3->text(), "/ZuvuvEzadore/datamanager");
        EXPECT_EQ(connection().windowTitle(), "Connection Parameters");
        EXPECT_EQ(connection().Text2->toolTip(), "Listening Port of the server");
        EXPECT_EQ(connection().Text2->accessibleName(), "Port");
        EXPECT_FALSE(connection().bChanged());
        connection().OKButton_Click();
    });
    steps.push_back([&](QDialog*) {
        connection().Text1->setText("elsewhere");
        connection().CancelButton_Click();
    });
    w->mnuConnection_Click();
    StringTable::setLanguage(StringTable::Language::Italian);
    w->mnuConnection_Click();
    EXPECT_EQ(connection().windowTitle(), "Parametri di connessione");
    EXPECT_EQ(connection().findChild<QPushButton*>("CancelButton")->text(), "Annulla");
    EXPECT_EQ(stored("TolvPort"), "");

    // Port edits: "-" is refused at once, beyond 16 bits is ignored, OK rounds.
    steps.push_back([&](QDialog*) {
        connection().Text2->setText("-");
        EXPECT_EQ(connection().Text2->text(), "2509");
        connection().Text2->setText("40000");
        EXPECT_EQ(connection().values.iPort, 2509);
        connection().Text2->setText("12.7");
        EXPECT_EQ(connection().values.iPort, 12);
        connection().Text3->setText("");
        connection().OKButton_Click();
    });
    w->mnuConnection_Click();
    EXPECT_EQ(boxes.messages(), QStringList{text(msg::PortNotPositive)});
    EXPECT_EQ(boxes.calls[0].icon, Prompts::Exclamation);
    EXPECT_EQ(QStringList({stored("TolvServer"), stored("TolvPort"), stored("DMName")}),
              QStringList({"host", "13", ""}));

    // An empty box keeps the last valid port; a port of 0 shows the default next time.
    steps.push_back([&](QDialog*) {
        EXPECT_EQ(connection().Text3->text(), "/ZuvuvEzadore/datamanager");
        connection().Text2->setText("0");
        connection().Text2->setText("");
        connection().OKButton_Click();
    });
    steps.push_back([&](QDialog*) {
        EXPECT_EQ(connection().Text2->text(), "2509");
        connection().Text4->setText("web");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&connection(), &esc);
    });
    w->mnuConnection_Click();
    EXPECT_EQ(stored("TolvPort"), "0");
    w->mnuConnection_Click();
    EXPECT_EQ(stored("HTTPServer"), "");
    EXPECT_EQ(boxes.messages().size(), 1);

    // A settings file that cannot be written is said so.
    qputenv("VIMRA_CONFIG", m_dir.filePath("missing/vimra.conf").toUtf8());
    steps.push_back([&](QDialog*) {
        connection().Text1->setText("new");
        connection().OKButton_Click();
    });
    w->mnuConnection_Click();
    EXPECT_EQ(boxes.messages().last(), "The connection settings could not be saved: " + m_dir.filePath("missing/vimra.conf")
                                           + " is missing or cannot be written.");
}

TEST_F(ShellDialogsTest, ConnectionDialogClosedByItsFrameKeepsTheEdits)
{
    w->execDialog = [](QDialog* dialog) { dialog->exec(); };
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).setValue("Vimra/TolvServer", "host");
    QTimer::singleShot(0, w.get(), [&] {
        connection().Text1->setText("moved");
        connection().close();
    });
    w->mnuConnection_Click();
    EXPECT_EQ(stored("TolvServer"), "moved");
    EXPECT_EQ(stored("TolvPort"), "2509");
}

TEST_F(ShellDialogsTest, AboutBoxAndHelp)
{
    frmAbout about(w.get());
    EXPECT_EQ(about.windowTitle(), "About Vimra...");
    EXPECT_EQ(QStringList({about.lblTitle->text(), about.lblVersion->text(), about.lblDescription->text(),
                           about.cmdOK->text(), about.cmdSysInfo->text()}),
              QStringList({"vimra", "Version 3.0.1", "App Description", "OK", "&System Info..."}));

    about.show();
    about.cmdSysInfo->click();
    EXPECT_EQ(boxes.messages(), QStringList{"System Information Is Unavailable At This Time"});
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).setValue("Vimra/SysInfoPath", "/bin/true");
    about.cmdSysInfo->click();
    EXPECT_EQ(boxes.messages().size(), 1);
    EXPECT_TRUE(about.isVisible());

    w->mnuHelpContents->trigger();
    w->mnuHelpSearchForHelpOn->trigger();
    ASSERT_EQ(boxes.calls.size(), 3u);
    for (size_t i : {1u, 2u}) {
        EXPECT_EQ(boxes.calls[i].text,
                  "Unable to display Help Contents. There is no Help associated with this project.");
        EXPECT_EQ(boxes.calls[i].icon, Prompts::Information);
        EXPECT_EQ(boxes.calls[i].title, "vimra");
    }
}

TEST_F(ShellDialogsTest, FindRemembersConfirmedValuesAndCancelSkipsTheSearch)
{
    // No document: the results are empty.
    find("cut", false);
    EXPECT_TRUE(rows().isEmpty());

    writeFilm();
    open("Film.xml");
    SearchDialog& dialog = w->searchDialog();
    steps.push_back([&](QDialog*) {
        EXPECT_EQ(dialog.Text1->text(), "cut");
        EXPECT_EQ(dialog.windowTitle(), text(msg::SearchPrompt));
        dialog.Text1->setText("other");
        dialog.Check1->setChecked(true);
        dialog.reject(); // Esc or the frame
    });
    w->mnuFileFind_Click();
    EXPECT_TRUE(dialog.bCancelPressed());
    EXPECT_EQ(dialog.strText(), "cut");

    steps.push_back([&](QDialog*) {
        EXPECT_EQ(dialog.Text1->text(), "cut");
        EXPECT_FALSE(dialog.Check1->isChecked());
        dialog.OKButt_Click();
    });
    steps.push_back([&](QDialog* results) { EXPECT_EQ(results, &w->searchResultDialog()); });
    w->mnuFileFind_Click();
    EXPECT_EQ(rows(), QStringList({"Version|First cut|1", "Version|Second cut|1"}));
}

TEST_F(ShellDialogsTest, ResultsCountValuesInRegistryOrderAndOpenLiveObjects)
{
    writeFilm();
    open("Film.xml");
    const auto doc = appState().objAVDoc;
    doc->setStrTitle("Zebra");
    doc->setStrNamedField("OriginalTitle", "zebra and zebra");
    find("zebra", false);
    EXPECT_EQ(rows(), QStringList{"AVDocument|Zebra|2"});
    find("zebra", true);
    EXPECT_EQ(rows(), QStringList{"AVDocument|Zebra|1"});

    // Every object with a value, none of the media files.
    const auto ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
    ver->AddMainExpression("Pictures", "Video", 0, 10);
    ver->vdMainVideo()->AddSubExpression("Opening", 0, 5);
    const auto segment = ver->vdMainVideo()->colSubExpressions().Item(1);
    QPixmap keyframe(8, 8);
    keyframe.fill(Qt::red);
    w->imlTreeIcons.Add(segment->strGUID(), keyframe, "keyframe");
    find("", false);
    QStringList kinds;
    for (const QString& row : rows())
        kinds << row.section('|', 0, 1);
    EXPECT_EQ(kinds, QStringList({"AVDocument|Zebra", "Version|First cut", "Media|DVD",
                                  "Storage|" + path("Film_files/clip.mpg"), "Storage|" + path("Film_files/clip.mpg"),
                                  "Version|Second cut", "Video|Pictures", "Video|Opening"}));
    QTreeWidget* list = w->searchResultDialog().ListView1;
    EXPECT_EQ(list->topLevelItem(7)->icon(0).pixmap(8).toImage().pixelColor(4, 4), QColor(Qt::red));
    EXPECT_EQ(list->topLevelItem(6)->icon(0).pixmap(32).toImage(),
              QIcon(w->imlTreeIcons.Item("Video")).pixmap(32).toImage());

    // A click opens every selected row's editor over the results; an object
    // removed since opens nothing.
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(5)->setSelected(true);
    std::shared_ptr<RegistryItem> second = doc->colChilds().Item(2);
    doc->RemoveObject(second);
    w->searchResultDialog().ListView1_Click();
    EXPECT_EQ(editors.log.filter("show"), QStringList{"show First cut, tree 1"});
    EXPECT_EQ(editors.owners, QStringList{"SearchResultDialog"});

    // In a freshly opened document no segment was ever shown, yet each
    // segment's row has its keyframe icon, made for the row.
    ver->vdMainVideo()->AddSubExpression("Closing", 5, 10);
    ASSERT_TRUE(doc->bSave());
    open("Film.xml");
    find("", false);
    QStringList iconed;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const auto& obj = w->searchResultDialog().rowObjects()[size_t(i)];
        const QPixmap icon = w->imlTreeIcons.Item(obj->strGUID());
        if (!icon.isNull() && list->topLevelItem(i)->icon(0).pixmap(32).toImage() == QIcon(icon).pixmap(32).toImage())
            iconed << obj->strTitle();
    }
    EXPECT_EQ(iconed, QStringList({"Opening", "Closing"}));
}
