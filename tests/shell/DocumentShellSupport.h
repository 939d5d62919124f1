#pragma once

#include "ShellTestSupport.h"
#include "document/AVDocument.h"
#include "document/EditorWindows.h"
#include "shell/DocumentCommands.h"
#include "shell/frmMain.h"
#include "support/FakePrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <stdexcept>

namespace vimra::test {

// Also records where the save dialog starts.
class ShellPrompts : public FakePrompts {
public:
    QStringList saveProposals;
    QString SaveFileName(const QString& title, const QString& filter, const QString& startPath) override
    {
        saveProposals << startPath;
        return FakePrompts::SaveFileName(title, filter, startPath);
    }
};

// Editor windows that log each showing with the document tree's node count
// at that moment, or fail as a missing collection item does.
class LoggingEditors : public EditorFactory {
public:
    QStringList log;
    QStringList owners; // the owner's object name at each showing
    const QTreeWidget* tree = nullptr;
    bool bThrowOnShow = false;

    class Window : public NullEditorWindow {
    public:
        explicit Window(LoggingEditors& owner) : m_owner(owner) {}
        void Show(UiOwner* owner) override
        {
            m_owner.owners << (owner ? owner->objectName() : QString());
            if (m_owner.bThrowOnShow)
                throw std::out_of_range("collection index out of range");
            const auto obj = boundObject();
            m_owner.log << QStringLiteral("show %1, tree %2")
                               .arg(obj ? obj->strTitle() : QString())
                               .arg(m_owner.tree ? m_owner.tree->topLevelItemCount() : -1);
        }

    private:
        LoggingEditors& m_owner;
    };

    std::shared_ptr<EditorWindow> create(const QString& strClass) override
    {
        return strEditorFormFor(strClass).isEmpty() ? nullptr : std::make_shared<Window>(*this);
    }
    void ShowAVDocSchemaDialog(UiOwner*, const std::shared_ptr<SEColl>&) override { log << "dialog"; }
};

// A main window with the document commands, the bundled schema and a
// temporary folder to hold documents.
class DocumentShellTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        m_savedFolder.emplace(); // opening a document changes the current folder
        QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat)
            .setValue("Vimra/XSDPath", QStringLiteral(VIMRA_RESOURCES "/vimra.xsd"));
        setEditorFactory(&editors);
        w = std::make_unique<frmMain>();
        editors.tree = w->tvwMainTree;
        w->popupMenu = [this](QMenu* menu) { popups << menu->objectName(); };
        commands = new DocumentCommands(*w);
    }
    void TearDown() override
    {
        commands->CloseDocument(true);
        w.reset();
        setEditorFactory(nullptr);
        m_savedFolder.reset();
        ShellTest::TearDown();
    }

    QString path(const QString& rel) const { return m_dir.filePath(rel); }
    void write(const QString& rel, const QByteArray& content) const { writeFile(path(rel), content); }
    QByteArray read(const QString& rel) const { return readFile(path(rel)); }

    // {name}.xml: one Version with one Media holding two Storages, and a
    // second Version without Media.
    void writeFilm(const QString& name = QStringLiteral("Film"))
    {
        const QString head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        const QString files = name + "_files/";
        const auto guid = [&](const QString& rel) { return "<GUID>" + path(rel) + "</GUID>"; };
        write(files + "clip.mpg", "not really a clip");
        write(name + ".xml", (head + "<AVDocument><AVDocGUID>" + path(name + ".xml") + "</AVDocGUID><Title>" + name
                              + "</Title><expressedby>" + guid(files + "v1.xml") + guid(files + "v2.xml")
                              + "</expressedby></AVDocument>").toUtf8());
        write(files + "v1.xml", (head + "<Version><VersionGUID>" + path(files + "v1.xml")
                                 + "</VersionGUID><VersionTitle>First cut</VersionTitle><manifestedby>"
                                 + guid(files + "m1.xml") + "</manifestedby></Version>").toUtf8());
        write(files + "v2.xml", (head + "<Version><VersionGUID>" + path(files + "v2.xml")
                                 + "</VersionGUID><VersionTitle>Second cut</VersionTitle></Version>").toUtf8());
        write(files + "m1.xml", (head + "<Media><MediaGUID>" + path(files + "m1.xml")
                                 + "</MediaGUID><Format>DVD</Format><availableas>" + guid(files + "s1.xml")
                                 + guid(files + "s2.xml") + "</availableas></Media>").toUtf8());
        for (const QString s : {"s1", "s2"})
            write(files + s + ".xml", (head + "<Storage><StorageGUID>" + path(files + s + ".xml")
                                       + "</StorageGUID><Collocation>" + path(files + "clip.mpg")
                                       + "</Collocation><ShelfMark>" + s + "</ShelfMark></Storage>").toUtf8());
    }

    static void click(QTreeWidget* tree, QTreeWidgetItem* node, Qt::MouseButton button)
    {
        // The tree opens collapsed: open the way down first, as a user would.
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
            up->setExpanded(true);
        const QRect rect = tree->visualItemRect(node);
        const QPoint pos(rect.left() + 20, rect.center().y()); // long titles run past the view
        const QPoint global = tree->viewport()->mapToGlobal(pos);
        QMouseEvent press(QEvent::MouseButtonPress, pos, global, button, button, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, global, button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &release);
    }

    void open(const QString& rel)
    {
        commands->OpenFile(path(rel));
        ASSERT_NE(appState().objAVDoc, nullptr) << boxes.messages().join(" | ").toStdString();
    }

    // The document tree as text: "title [picture/selected picture]", children
    // indented by two blanks.
    static QStringList shape(const QTreeWidget* tree)
    {
        QStringList out;
        const std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* node, int depth) {
            out << QString(depth * 2, ' ') + node->text(0) + " [" + node->data(0, frmMain::kPictureRole).toString()
                       + "/" + node->data(0, frmMain::kSelPictureRole).toString() + "]";
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i), depth + 1);
        };
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            walk(tree->topLevelItem(i), 0);
        return out;
    }

    ShellPrompts boxes;
    LoggingEditors editors;
    std::unique_ptr<frmMain> w;
    DocumentCommands* commands = nullptr;
    QStringList popups;
    std::optional<CurrentFolder> m_savedFolder;
};

} // namespace vimra::test
