#pragma once

#include "document/AVDocument.h"
#include "document/DocumentUi.h"
#include "document/EditorWindows.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "resources/StringTable.h"
#include "support/FakePrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable failure messages for Qt text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vimra::test {

inline const QString kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class RecordingUi : public DocumentUi {
public:
    QStringList status;
    QStringList icons;
    void setStrStatusBarText(const QString& text) override { status << text; }
    void RemoveIcon(const QString& strGUID) override { icons << strGUID; }
    void UpdateNodeTitle(const std::shared_ptr<DocObject>&) override {}
    void ResetTree(Tree, const std::shared_ptr<Version>&) override {}
    void AddSmallKeyFrame(const std::shared_ptr<Video>&) override {}
    void UpdateSmallKeyFrames() override {}
};

// Null windows that log what is done to them.
class RecordingEditors : public EditorFactory {
public:
    QStringList log;
    std::shared_ptr<SEColl> dialogFields;

    class Window : public NullEditorWindow {
    public:
        explicit Window(QStringList& log) : m_log(log) {}
        void Show(UiOwner*) override { m_log << "show"; }
        void Unload() override { m_log << "unload"; }

    private:
        QStringList& m_log;
    };

    std::shared_ptr<EditorWindow> create(const QString& strClass) override
    {
        return strEditorFormFor(strClass).isEmpty() ? nullptr : std::make_shared<Window>(log);
    }
    void ShowAVDocSchemaDialog(UiOwner*, const std::shared_ptr<SEColl>& secol) override
    {
        log << "dialog";
        dialogFields = secol;
    }
};

// A temporary folder with the fixture schema named by the settings, recording
// prompts, main window and editors.
class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString& rel) const { return dir + QLatin1Char('/') + rel; }
    void write(const QString& rel, const QString& content) const;
    QString read(const QString& rel) const;
    // Replaces text in the temporary copy of the schema.
    void editSchema(const QString& from, const QString& to) const;
    static QString guids(const QStringList& ids);

    // Film.xml with Versions 1 and 2; Version 1 has Media 1 with Storages 1
    // and 2 (whose identifier element names another path); Version 2 has none.
    void writeFixture() const;

    // Points the first Storage of the fixture at `media`.
    void setMedia(const QString& media) const;
    // An expression file in Film_files; `relations` are further elements as written.
    void writeExpr(const QString& name, const QString& cls, const QString& title, const QString& relations,
                   double start = -1, double end = -1) const;
    QString versionOf(const QString& name) const { return "<VersionGUID>" + path("Film_files/" + name) + "</VersionGUID>"; }
    QString tag(const QString& element, const QString& name) const
    {
        return "<" + element + ">" + path("Film_files/" + name) + "</" + element + ">";
    }

    std::shared_ptr<IOManager> newStore() const;
    std::shared_ptr<AVDocument> open(const QString& rel, QString* error = nullptr);
    std::shared_ptr<AVDocument> newDocument(const QString& rel = QStringLiteral("AVDocument.xml"));

    QTemporaryDir tmp;
    QString dir;
    FakePrompts prompts;
    RecordingUi ui;
    RecordingEditors editors;
    std::vector<std::shared_ptr<AVDocument>> docs;
};

QStringList idsOf(const DocObject& obj, const QString& field);

template <typename T>
std::shared_ptr<T> at(const AVDocument& doc, int i)
{
    return std::dynamic_pointer_cast<T>(doc.collObjects().Item(i));
}
QStringList classesOf(const AVDocument& doc);

} // namespace vimra::test
