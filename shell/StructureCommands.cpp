#include "shell/StructureCommands.h"

#include "document/AVDocument.h"
#include "document/Version.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "shell/frmMain.h"
#include "widgets/Guarded.h"

#include <QAction>
#include <QDir>

#include <cmath>

namespace vimra {

namespace {

// Linux names are case-sensitive: upper-case extensions are offered too.
const QString kMediaFilter = QStringLiteral(
    "Video Files (*.avi *.mpeg *.mpg *.asf *.AVI *.MPEG *.MPG *.ASF)");

// The Version whose Media is `media`, found as the registry lists them.
std::shared_ptr<Version> versionHolding(const AVDocument& doc, const std::shared_ptr<DocObject>& media)
{
    for (const auto& item : doc.collObjects()) {
        const auto ver = std::dynamic_pointer_cast<Version>(item);
        if (ver && ver->colChilds().IndexOf(media) > 0)
            return ver;
    }
    return nullptr;
}

// The Storage's media file, chosen in the file dialog; "" when none.
QString chooseMediaFile(const AVDocument& doc)
{
    const QString chosen = prompts().OpenFileName(text(msg::StorageCollocationPrompt), kMediaFilter);
    if (chosen.isEmpty())
        return {};
    // The dialog may have moved the current folder; relative paths of the
    // document are taken against its own folder.
    QString folder;
    strSplitPath(doc.strGUID(), &folder);
    const QString path = strAbsolutePath(chosen);
    QDir::setCurrent(folder);
    return vFileExists(path) ? path : QString();
}

} // namespace

StorageLength checkStorageLength(std::optional<double> dVersionDuration, double dLength)
{
    if (dLength == 0)
        return StorageLength::NotValid;
    if (!dVersionDuration)
        return StorageLength::Fits;
    if (*dVersionDuration == 0)
        return StorageLength::TakeDuration;
    return std::fabs(*dVersionDuration - dLength) > 1.0 ? StorageLength::Differs : StorageLength::Fits;
}

StructureCommands::StructureCommands(frmMain& main) : QObject(&main), m_main(main)
{
    connect(main.mnuAddChild, &QAction::triggered, this, &StructureCommands::mnuAddChild_Click);
    connect(main.mnuAddMainVideo, &QAction::triggered, this, &StructureCommands::mnuAddMainVideo_Click);
    connect(main.mnuAddMainAudio, &QAction::triggered, this, &StructureCommands::mnuAddMainAudio_Click);
    connect(main.mnuAddMainTranscript, &QAction::triggered, this, &StructureCommands::mnuAddMainTranscript_Click);
}

void StructureCommands::mnuAddChild_Click()
{
    if (!m_main.bMainRootSet)
        return;
    const auto obj = m_main.selectedObject(DocumentUi::Tree::tvwMainTree);
    const auto doc = appState().objAVDoc;
    if (!obj || !doc)
        return;
    const auto parent = std::dynamic_pointer_cast<ParentObject>(obj);
    if (!parent) {
        prompts().Beep(); // a Storage takes no child
        return;
    }

    QString value;
    if (parent->bIsClass("AVDocument")) {
        value = prompts().InputBox(text(msg::NewVersionTitlePrompt), text(msg::VersionTitle));
    } else if (parent->bIsClass("Version")) {
        value = prompts().InputBox(text(msg::NewMediaFormatPrompt), text(msg::MediaFormat));
    } else if (parent->bIsClass("Media")) {
        if (!doc->io() || !doc->io()->bFileSystem())
            return;
        value = chooseMediaFile(*doc);
    }
    if (value.isEmpty())
        return;

    std::shared_ptr<Version> takesDuration;
    double dLength = 0;
    if (parent->bIsClass("Media")) {
        dLength = dMediaDuration(value);
        const auto ver = versionHolding(*doc, parent);
        switch (checkStorageLength(ver ? std::optional(ver->dDuration()) : std::nullopt, dLength)) {
        case StorageLength::NotValid:
            prompts().MsgBox(text(msg::FormatNotValid));
            return;
        case StorageLength::Differs:
            prompts().MsgBox(text(msg::DurationDiffers));
            return;
        case StorageLength::TakeDuration:
            takesDuration = ver;
            break;
        case StorageLength::Fits:
            break;
        }
    }

    const int iChildsBefore = parent->colChilds().Count();
    guarded([&] { parent->AddChild(value); });
    // Only a Storage that was added may give its Version a length: a failed
    // one would leave the Version with the length of a file it does not hold.
    if (takesDuration && parent->colChilds().Count() == iChildsBefore + 1)
        takesDuration->setDDuration(dLength);
    m_main.BuildDocumentTree();
    m_main.ExpandToObject(DocumentUi::Tree::tvwMainTree, parent);
}

void StructureCommands::NewMainExpression(const QString& strType)
{
    if (!m_main.bMainRootSet)
        return;
    const auto ver = std::dynamic_pointer_cast<Version>(m_main.selectedObject(DocumentUi::Tree::tvwExpression));
    if (!ver)
        return;
    const QString path = ver->strGetMediaObjectPath();
    if (path.isEmpty()) {
        prompts().MsgBox(text(msg::CreateStorageFirst));
        return;
    }
    int promptId = msg::MainVideoNamePrompt, titleId = msg::MainVideoName;
    if (strType == QLatin1String("Audio")) {
        promptId = msg::MainAudioNamePrompt;
        titleId = msg::MainAudioName;
    } else if (strType == QLatin1String("Transcript")) {
        promptId = msg::MainTranscriptNamePrompt;
        titleId = msg::MainTranscriptName;
    }
    const QString name = prompts().InputBox(text(promptId), text(titleId));
    if (name.isEmpty())
        return;
    // An unreadable file is not refused: the expression then ends at 0.
    const double d = dMediaDuration(path);
    guarded([&] {
        ver->AddMainExpression(name, strType, 0, d);
        ver->setDDuration(d);
    });
    m_main.ResetTree(DocumentUi::Tree::tvwExpression, ver);
    m_main.UpdateAddMainEntries();
}

} // namespace vimra
