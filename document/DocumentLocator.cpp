#include "document/DocumentLocator.h"

#include "document/AVDocument.h"
#include "document/Audio.h"
#include "document/Expression.h"
#include "document/Media.h"
#include "document/Storage.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "document/Video.h"
#include "platform/Prompts.h"
#include "platform/Xml.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QHash>
#include <QSet>

namespace vimra {

namespace {

// One relative found by a scan: its class and identifier.
struct ObjRecord {
    QString strType;
    QString strGUID;
};

// The object files of a folder as the scans see them, in folder order, and
// which of them name an identifier in a single-value relation field.
struct FolderObjects {
    struct Entry {
        QString strName;
        QString strPath; // the file's identifier: its absolute path, normalised
        std::shared_ptr<const IOManager::ObjectFileInfo> info; // none for a malformed file
    };
    std::vector<Entry> entries;
    // By lower-cased field name and normalised identifier: positions in `entries`.
    QHash<QString, std::vector<int>> byRelation;

    static QString relationKey(const QString& lowerName, const QString& strGUID)
    {
        return IOManager::ObjectFileInfo::relationKey(lowerName, GUIDRenames::keyOf(strGUID));
    }
};

// The folders read while a session lives, by normalised folder and by the
// folder as the scans name it (every segment's scan names the same folder:
// it is not normalised again for each), and the outermost session's heap
// reserve.
struct SessionFolders {
    QHash<QString, std::shared_ptr<const FolderObjects>> byKey;
    QHash<QString, std::shared_ptr<const FolderObjects>> byName;
    QString lastName; // the folder last asked for, and what it holds
    std::shared_ptr<const FolderObjects> last;
};
SessionFolders* g_session = nullptr;
HeapReserve* g_sessionHeap = nullptr;

// What an open takes of the heap for each object file, with room to spare:
// its object, fields and index entry come to about 5 KiB.
constexpr std::size_t kHeapPerObjectFile = 8 * 1024;

// The only place the scans read a folder: one listing, each file's class
// and relation values from the store's index of object files. While a
// session lives (a document opening) each folder is read once. A malformed
// file is shown once per store and has no class.
std::shared_ptr<const FolderObjects> colFolderObjects(const std::shared_ptr<IOManager>& io, AVDocument& doc,
                                                     const QString& folder)
{
    if (g_session) {
        // Every segment's scan asks for the folder the one before asked for.
        if (g_session->last && folder == g_session->lastName)
            return g_session->last;
        if (const auto it = g_session->byName.constFind(folder); it != g_session->byName.constEnd()) {
            g_session->lastName = folder;
            g_session->last = *it;
            return *it;
        }
    }
    const QString key = strAbsolutePath(folder);
    if (g_session) {
        if (const auto it = g_session->byKey.constFind(key); it != g_session->byKey.constEnd()) {
            g_session->byName.insert(folder, *it);
            return *it;
        }
    }
    auto objects = std::make_shared<FolderObjects>();
    QStringList names = colListFiles(folder + QStringLiteral("*.xml"));
    // A link leading out of the document's folder is not read: what it
    // leads to is no object of this document.
    names.removeIf([&](const QString& name) {
        if (doc.bInsideFolder(folder + name))
            return false;
        const QString path = strAbsolutePath(folder + name);
        io->ReportOnce(path, path + QLatin1Char(' ') + text(msg::OutsideDocumentFolder));
        return true;
    });
    // Most of the files become objects of the document being opened.
    if (g_sessionHeap) {
        g_sessionHeap->reserve(static_cast<std::size_t>(names.size()) * kHeapPerObjectFile);
        // With a media file for some: a Storage's, a Video segment's picture.
        doc.collObjects().reserve(doc.collObjects().Count() + static_cast<int>(names.size() + names.size() / 2));
    }
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names)
        paths << folder + name;
    auto infos = io->objectFileInfos(paths);
    // Names no text can hold are not listed above: say why they stay out.
    for (const QString& name : colUndecodableXmlNames(folder))
        io->ReportOnce(folder + name, folder + name + QLatin1Char(' ') + text(msg::NameNotUtf8));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        auto info = std::move(infos[static_cast<size_t>(i)].info);
        if (!info)
            io->ReportMalformed(folder + name, infos[static_cast<size_t>(i)].error);
        const int position = static_cast<int>(objects->entries.size());
        if (info) {
            for (const auto& value : info->values)
                objects->byRelation[value.strKey.isEmpty() ? FolderObjects::relationKey(value.strLowerName, value.strValue)
                                                           : value.strKey]
                    .push_back(position);
        }
        objects->entries.push_back({name, std::move(infos[static_cast<size_t>(i)].strKey), std::move(info)});
    }
    if (g_session) {
        g_session->byKey.insert(key, objects);
        g_session->byName.insert(folder, objects);
    }
    return objects;
}

// The lower-cased name of an expression class's part-of field.
QString partOfField(const QString& strClass)
{
    static const QString video = QStringLiteral("partofvideo");
    static const QString audio = QStringLiteral("partofaudio");
    static const QString transcript = QStringLiteral("partoftranscript");
    if (strClass == QLatin1String("Video"))
        return video;
    if (strClass == QLatin1String("Audio"))
        return audio;
    if (strClass == QLatin1String("Transcript"))
        return transcript;
    return QStringLiteral("partof") + strClass.toLower();
}

// Whether a candidate of class `strClass` is taken when `strWanted` is asked:
// an empty wanted class takes the three expression classes.
bool bWantedClass(const QString& strClass, const QString& strWanted)
{
    return strWanted.isEmpty() ? Expression::bIsExpressionClass(strClass) : strClass == strWanted;
}

// Whether the loaded `candidate` is a relative of the object (`strGUID`, of
// class `strClass`) under the relation `strRelation`.
bool bIsRelative(const DocObject& candidate, const QString& strRelation, const QString& strClass, const QString& strGUID)
{
    const auto expr = dynamic_cast<const Expression*>(&candidate);
    if (expr && strRelation.startsWith(QLatin1String("PartOf")))
        return expr->bCheckIfSubExpression(strClass, strGUID);
    return candidate.bCheckIfOwnRelative(strClass, strGUID);
}

// The identifiers of the objects of class `strWanted` (any expression class
// when empty) related to the object (`strGUID`, of class `strClass`), in
// folder order. The document file lies one level above its object folder.
// An expression names its relative in a single value, read with its class;
// any other candidate is loaded to be asked, and taken out again.
std::vector<ObjRecord> colFindRelatives(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                        const QString& strGUID, const QString& strClass, const QString& strRelation,
                                        const QString& strWanted)
{
    std::vector<ObjRecord> found;
    if (!io->bFileSystem())
        return found;
    // The folder as strSplitPath gives it; the name is split off only when needed.
    const qsizetype slash = strGUID.lastIndexOf(QLatin1Char('/'));
    QString folder = strGUID.isEmpty() ? QString() : slash < 0 ? QStringLiteral("./") : strGUID.left(slash + 1);
    // The folder above, by name: not the parent of wherever a linked object folder leads.
    if (strWanted == QLatin1String("AVDocument") && !folder.isEmpty()) {
        folder = strAbsolutePath(folder + QStringLiteral(".."));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
    }
    const auto folderObjects = colFolderObjects(io, *doc, folder);
    const auto& entries = folderObjects->entries;
    // A loaded candidate answers for itself (its class and relations may
    // have changed since its file was written); true when it did.
    const auto bTakenAsLoaded = [&](const QString& candidatePath) {
        const auto loaded = std::dynamic_pointer_cast<DocObject>(doc->objAlreadyLoaded(candidatePath));
        if (!loaded)
            return false;
        if (bWantedClass(loaded->className(), strWanted) && bIsRelative(*loaded, strRelation, strClass, strGUID))
            found.push_back({loaded->className(), loaded->strGUID()});
        return true;
    };

    // An expression names its relative in a single value, read with its
    // class: only the files naming the object are candidates.
    if (strWanted.isEmpty() || Expression::bIsExpressionClass(strWanted)) {
        const bool bPartOf = strRelation.startsWith(QLatin1String("PartOf"));
        if (bPartOf ? !Expression::bIsExpressionClass(strClass) : strClass != QLatin1String("Version"))
            return found;
        const auto hits = folderObjects->byRelation.constFind(
            FolderObjects::relationKey(bPartOf ? partOfField(strClass) : QStringLiteral("versionguid"), strGUID));
        if (hits == folderObjects->byRelation.constEnd())
            return found;
        const QString ownName = strSplitPath(strGUID, nullptr) + QStringLiteral(".xml");
        for (const int i : *hits) {
            const auto& entry = entries[static_cast<size_t>(i)];
            if (entry.strName != ownName && !bTakenAsLoaded(entry.strPath)
                && bWantedClass(entry.info->strClass, strWanted))
                found.push_back({entry.info->strClass, entry.strPath});
        }
        return found;
    }

    const QString ownName = strSplitPath(strGUID, nullptr) + QStringLiteral(".xml");
    for (const auto& entry : entries) {
        if (entry.strName == ownName)
            continue;
        const QString& candidatePath = entry.strPath;
        if (bTakenAsLoaded(candidatePath) || !entry.info || !bWantedClass(entry.info->strClass, strWanted))
            continue;
        const auto candidate = CreateObjectOfType(entry.info->strClass, doc);
        const auto parent = std::dynamic_pointer_cast<ParentObject>(candidate);
        if (!parent || !parent->bMayNameChild(*io, candidatePath, strGUID))
            continue;
        const QString error = candidate->strLoadXML(candidatePath, nullptr, io);
        if (!error.isEmpty()) {
            io->ReportOnce(candidatePath, error);
            continue;
        }
        if (bIsRelative(*candidate, strRelation, strClass, strGUID))
            found.push_back({entry.info->strClass, candidate->strGUID()});
        doc->collObjects().RemoveItem(candidate);
    }
    return found;
}

// The parent of the object: for a Version, Media or Storage the one object
// naming it (none when two do); for an expression its containing
// expression, else its Version.
QString strGetParentGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                         const QString& strGUID, const QString& strClass)
{
    if (Expression::bIsExpressionClass(strClass)) {
        std::shared_ptr<Expression> expr;
        bool bTemporary = false;
        if (const auto item = doc->objAlreadyLoaded(strGUID)) {
            expr = std::dynamic_pointer_cast<Expression>(item);
        } else {
            expr = Expression::newExpression(strClass, doc);
            const QString error = expr->strLoadXML(strGUID, nullptr, io);
            if (!error.isEmpty()) {
                io->ReportOnce(strGUID, error);
                return {};
            }
            bTemporary = true;
        }
        if (!expr)
            return {};
        const QString parent = expr->strGetPartOf().isEmpty() ? expr->strVersionGUID() : expr->strGetPartOf();
        if (bTemporary)
            doc->collObjects().RemoveItem(expr);
        return parent;
    }
    // Only its class is asked: which class holds children of `strClass`.
    const auto sample = ParentObject::newParentOf(strClass, doc);
    if (!sample)
        return {};
    static const QHash<QString, QString> relation{{QStringLiteral("Version"), QStringLiteral("ExpressedBy")},
                                                  {QStringLiteral("Media"), QStringLiteral("ManifestedBy")},
                                                  {QStringLiteral("Storage"), QStringLiteral("AvailableAs")}};
    const auto parents = colFindRelatives(io, doc, strGUID, strClass, relation.value(strClass), sample->className());
    return parents.size() == 1 ? parents.front().strGUID : QString();
}

} // namespace

ScanSession::ScanSession(IOManager* io)
{
    if (!g_session && io) {
        g_session = new SessionFolders();
        g_sessionHeap = &m_heap;
        m_io = io;
        m_io->setBKeepParsed(true);
    }
}

ScanSession::~ScanSession()
{
    if (m_io) {
        m_io->setBKeepParsed(false);
        delete g_session;
        g_session = nullptr;
        g_sessionHeap = nullptr;
    }
}

namespace {
ObjectMaker& objectMaker()
{
    static ObjectMaker maker;
    return maker;
}
} // namespace

void setObjectMaker(ObjectMaker maker) { objectMaker() = std::move(maker); }

std::shared_ptr<DocObject> CreateObjectOfType(const QString& strClass, std::weak_ptr<AVDocument> context)
{
    if (const auto& maker = objectMaker())
        if (auto obj = maker(strClass, context))
            return obj;
    if (strClass == QLatin1String("AVDocument"))
        return std::make_shared<AVDocument>(std::move(context));
    if (strClass == QLatin1String("Version"))
        return std::make_shared<Version>(std::move(context));
    if (strClass == QLatin1String("Media"))
        return std::make_shared<Media>(std::move(context));
    if (strClass == QLatin1String("Storage"))
        return std::make_shared<Storage>(std::move(context));
    if (strClass == QLatin1String("Video"))
        return std::make_shared<Video>(std::move(context));
    if (strClass == QLatin1String("Audio"))
        return std::make_shared<Audio>(std::move(context));
    if (strClass == QLatin1String("Transcript"))
        return std::make_shared<Transcript>(std::move(context));
    return nullptr;
}

QString strRetrieveAVDocGUIDFromGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                     const QString& strGUID)
{
    // An object file may name parents anywhere: the climb reads only in the
    // folder its document would lie in, the one above the object's own.
    QString folder;
    strSplitPath(strAbsolutePath(strGUID), &folder);
    if (io->bFileSystem())
        doc->confineTo(strAbsolutePath(folder + QStringLiteral("..")));
    // Parents that name each other in a circle end the climb.
    QSet<QString> visited;
    QString current = strGUID.isEmpty() ? strGUID : strAbsolutePath(strGUID);
    while (!current.isEmpty() && !visited.contains(current)) {
        visited.insert(current);
        if (io->bFileSystem() && !doc->bInsideFolder(current)) {
            io->ReportOnce(current, current + QLatin1Char(' ') + text(msg::OutsideDocumentFolder));
            return {};
        }
        const QString strClass = io->strWhatIs(current);
        if (strClass == QLatin1String("AVDocument"))
            return current;
        if (strClass == QLatin1String("Version"))
            return strGetParentGUID(io, doc, current, strClass);
        if (strClass != QLatin1String("Media") && strClass != QLatin1String("Storage")
            && !Expression::bIsExpressionClass(strClass))
            return {};
        current = strGetParentGUID(io, doc, current, strClass);
        if (!current.isEmpty())
            current = strAbsolutePath(current);
    }
    return {};
}

std::vector<std::shared_ptr<Expression>> colScanForExpressions(const std::shared_ptr<IOManager>& io,
                                                               const std::shared_ptr<AVDocument>& doc,
                                                               const std::shared_ptr<DocObject>& obj)
{
    std::vector<std::shared_ptr<Expression>> result;
    // The segments' own scans below read the folder this one read.
    const ScanSession session(io.get());
    const auto version = std::dynamic_pointer_cast<Version>(obj);
    const auto main = std::dynamic_pointer_cast<Expression>(obj);
    if (!io || !doc || (!version && !main))
        return result;
    const QString strClass = obj->className();
    // Each level of segments opens inside the one above it: a stored chain
    // of part-of fields thousands deep would exhaust the stack.
    int depth = 0;
    std::shared_ptr<Expression> top = main;
    while (top && top->objMainExpr()) {
        top = top->objMainExpr();
        ++depth;
    }
    const auto records = version
        ? colFindRelatives(io, doc, obj->strGUID(), strClass, QStringLiteral("VersionGUID"), QString())
        : colFindRelatives(io, doc, obj->strGUID(), strClass, QStringLiteral("PartOf") + strClass, strClass);
    if (depth >= kMaxSegmentDepth && !records.empty()) {
        io->ReportOnce(top->strGUID(), obj->strGUID() + QLatin1Char(' ') + text(msg::SegmentsTooDeep));
        return result;
    }
    for (const auto& [exprClass, id] : records) {
        if (const auto item = doc->objAlreadyLoaded(id)) {
            // An expression keeps the one place it was opened in: a main
            // expression that also names a part-of, or a segment that also
            // names a Version, is not taken again here, so none lies below
            // itself or below many, however the stored fields contradict.
            if (auto loaded = std::dynamic_pointer_cast<Expression>(item); loaded && loaded->objMainExpr() == main)
                result.push_back(std::move(loaded));
            continue;
        }
        const auto expr = Expression::newExpression(exprClass, doc);
        if (!expr)
            continue;
        if (main) {
            expr->setObjMainExpr(main);
            expr->setVerVersion(main->verVersion());
        } else {
            expr->setVerVersion(version);
        }
        const QString error = expr->strOpen(id, editorFactory().create(exprClass), io);
        if (!error.isEmpty()) {
            io->ReportOnce(id, error);
            continue;
        }
        result.push_back(expr);
    }
    return result;
}

} // namespace vimra
