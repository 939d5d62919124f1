#include "document/AVDocument.h"

#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QFileInfo>

#include <vector>

namespace vimra {

namespace {

// Anything at the path, a link to nowhere included.
bool bNameTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The question naming the files; a long list is cut, the count kept.
QString strChangedFilesQuestion(const QStringList& files)
{
    constexpr int kShown = 20;
    QString question = text(msg::FilesChangedOnDisk);
    for (int i = 0; i < files.size() && i < kShown; ++i)
        question += QLatin1Char('\n') + files[i];
    if (files.size() > kShown)
        question += QStringLiteral("\n… (+%1)").arg(files.size() - kShown);
    return question + QStringLiteral("\n\n") + text(msg::WriteOverChangedFiles);
}

} // namespace

bool AVDocument::bCheckFilesOnDisk()
{
    if (!io() || !io()->bFileSystem())
        return true;
    // Another window, a sync tool or a restored copy may have written any
    // of them: what this document names must be what it last saw there.
    std::vector<std::shared_ptr<DocObject>> overwritten;
    std::vector<std::shared_ptr<DocObject>> renamed;
    QStringList files;
    for (const auto& item : m_collObjects) {
        const auto obj = std::dynamic_pointer_cast<DocObject>(item);
        if (!obj || obj->strGUID().isEmpty())
            continue;
        switch (io()->diskState(obj->strGUID())) {
        case IOManager::DiskState::Same:
            break;
        case IOManager::DiskState::Unknown:
            // A new object's name, taken since it was given (by another
            // window's new object): it takes a free one. The document's own
            // file is never renamed, so it is asked about instead.
            if (!obj->bChanged() || !bNameTaken(obj->strGUID()))
                break;
            if (obj.get() != this) {
                renamed.push_back(obj);
                break;
            }
            [[fallthrough]];
        case IOManager::DiskState::Changed:
        case IOManager::DiskState::Gone:
            overwritten.push_back(obj);
            files << obj->strGUID();
            break;
        }
    }
    if (!files.isEmpty()) {
        if (prompts().MsgBox(strChangedFilesQuestion(files), Prompts::YesNo, Prompts::Exclamation) != Prompts::Yes)
            return false;
        for (const auto& obj : overwritten) {
            io()->TakeOver(obj->strGUID());
            obj->MarkForWrite();
        }
    }
    if (renamed.empty())
        return true;
    GUIDRenames renames;
    QString error;
    for (const auto& obj : renamed) {
        const auto guid = newGUID(*io(), obj->className());
        if (!guid.ok()) {
            error = guid.strError;
            break;
        }
        renames.add(obj->strGUID(), guid.strGUID);
        obj->setStrGUID(guid.strGUID);
    }
    // The relations follow also the renames made before a failure.
    for (const auto& holder : m_collObjects)
        holder->RenameAllRelativesGUIDs(renames);
    if (!error.isEmpty())
        prompts().MsgBox(error);
    return error.isEmpty();
}

} // namespace vimra
