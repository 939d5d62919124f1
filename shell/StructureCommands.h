#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace vimra {

class frmMain;

// What a new Storage's media length means for its Version.
enum class StorageLength {
    NotValid,     // no length could be read (message 1113)
    TakeDuration, // the Version has none yet and takes this one
    Fits,         // within a second of the Version's
    Differs,      // more than a second away (message 1114)
};
// `dVersionDuration` is none when no Version holds the Media.
StorageLength checkStorageLength(std::optional<double> dVersionDuration, double dLength);

// The commands of the Edit menu that grow the document: append a Version,
// Media or Storage under the document tree's selected node, and give the
// expression tree's Version a main Video, Audio or Transcript. Made as a
// child of the main window, it connects the window's entries.
class StructureCommands : public QObject {
    Q_OBJECT
public:
    explicit StructureCommands(frmMain& main);

    void mnuAddChild_Click();
    // `strType`: "Video", "Audio" or "Transcript".
    void NewMainExpression(const QString& strType);
    void mnuAddMainVideo_Click() { NewMainExpression(QStringLiteral("Video")); }
    void mnuAddMainAudio_Click() { NewMainExpression(QStringLiteral("Audio")); }
    void mnuAddMainTranscript_Click() { NewMainExpression(QStringLiteral("Transcript")); }

private:
    frmMain& m_main;
};

} // namespace vimra
