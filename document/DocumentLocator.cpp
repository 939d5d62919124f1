#include "document/DocumentLocator.h"

#include "document/AVDocument.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/Procedures.h"

namespace vimra {

namespace {

// The identifiers of the objects of class `strWanted` that name the object
// (`strGUID`, of class `strClass`) as their child, in folder order. The
// document file lies one level above its object folder.
QStringList colFindParents(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc, const QString& strGUID,
                           const QString& strClass, const QString& strWanted)
{
    QStringList found;
    if (!io->bFileSystem())
        return found;
    QString folder;
    const QString base = strSplitPath(strGUID, &folder);
    if (strWanted == QLatin1String("AVDocument"))
        folder += QStringLiteral("../");
    for (const QString& name : colListFiles(folder + QStringLiteral("*.xml"))) {
        if (name == base + QStringLiteral(".xml"))
            continue;
        const QString candidatePath = folder + name;
        if (const auto item = doc->objAlreadyLoaded(candidatePath)) {
            const auto loaded = std::dynamic_pointer_cast<DocObject>(item);
            if (loaded && loaded->bIsClass(strWanted) && loaded->bCheckIfOwnRelative(strClass, strGUID))
                found << loaded->strGUID();
            continue;
        }
        if (io->strWhatIs(candidatePath) != strWanted)
            continue;
        const auto candidate = ParentObject::newParentOf(strClass, doc);
        if (!candidate || !candidate->bMayNameChild(*io, candidatePath, strGUID))
            continue;
        const QString error = candidate->strLoadXML(candidatePath, nullptr, io);
        if (!error.isEmpty()) {
            prompts().MsgBox(error);
            continue;
        }
        if (candidate->bCheckIfOwnRelative(strClass, strGUID))
            found << candidate->strGUID();
        doc->collObjects().RemoveItem(candidate);
    }
    return found;
}

QString strGetParentGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc, const QString& strGUID,
                         const QString& strClass)
{
    // Only its class is asked: which class holds children of `strClass`.
    const auto sample = ParentObject::newParentOf(strClass, doc);
    if (!sample)
        return {};
    const QStringList parents = colFindParents(io, doc, strGUID, strClass, sample->className());
    return parents.size() == 1 ? parents.first() : QString();
}

} // namespace

QString strRetrieveAVDocGUIDFromGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                     const QString& strGUID)
{
    const QString strClass = io->strWhatIs(strGUID);
    if (strClass == QLatin1String("AVDocument"))
        return strGUID;
    if (strClass == QLatin1String("Version"))
        return strGetParentGUID(io, doc, strGUID, strClass);
    // Expressions climb through their containing expression once documents
    // carry them.
    if (strClass == QLatin1String("Media") || strClass == QLatin1String("Storage")) {
        const QString parent = strGetParentGUID(io, doc, strGUID, strClass);
        return parent.isEmpty() ? QString() : strRetrieveAVDocGUIDFromGUID(io, doc, parent);
    }
    return {};
}

} // namespace vimra
