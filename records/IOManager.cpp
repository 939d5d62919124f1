#include "records/IOManager.h"

#include "platform/FileWrite.h"
#include "platform/HeapReserve.h"
#include "platform/Prompts.h"
#include "records/Procedures.h"
#include "records/SEColl.h"
#include "records/SchemaCache.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace vimra {

namespace {

// The runtime's descriptions for the failures we detect ourselves.
const QString kFileNotFound = QStringLiteral("File not found");
const QString kPermissionDenied = QStringLiteral("Permission denied");
const QString kOverflow = QStringLiteral("Overflow");

// Whether a file, a folder or anything else, even a link to nowhere, is
// found at the path: one look at the disk for each identifier tried. A new
// object written to a dangling link would be written where the link points.
bool bOccupied(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Whether anything, a dangling link included, has the name: what a save-as
// made is what was not there before.
bool bPresent(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

IOManager::~IOManager()
{
    release();
}

void IOManager::RemoveGUID(const QString& strGUID)
{
    m_colGUIDToRemove.Add(strGUID);
    ++m_queuedKeys[strAbsolutePath(strGUID)];
}

void IOManager::unqueue(int index)
{
    const auto it = m_queuedKeys.find(strAbsolutePath(m_colGUIDToRemove.Item(index)));
    if (it != m_queuedKeys.end() && --*it <= 0)
        m_queuedKeys.erase(it);
    m_colGUIDToRemove.Remove(index);
}

void IOManager::reserve(const QString& strGUID)
{
    if (!strGUID.isEmpty())
        m_reserved.insert(strAbsolutePath(strGUID));
}

bool IOManager::bGUIDComp(const QString& a, const QString& b)
{
    return bSamePath(a, b);
}

IOManager::GUIDResult IOManager::strCreateGUID(const QStringList& registeredIds,
                                               const QString& strClass,
                                               const QString& strTypeOfObject,
                                               const QString& basePath)
{
    return guidMaker(registeredIds, basePath).next(strClass, strTypeOfObject);
}

IOManager::GUIDResult IOManager::strCreateGUID(const std::function<bool(const QString&)>& bRegistered,
                                               quint64 iFreedStamp, const QString& strClass,
                                               const QString& strTypeOfObject, const QString& basePath)
{
    return hintedGUID(bRegistered, iFreedStamp, strClass, strTypeOfObject, basePath, true);
}

void IOManager::PrimeGUID(const std::function<bool(const QString&)>& bRegistered, quint64 iFreedStamp,
                          const QString& strClass, const QString& strTypeOfObject, const QString& basePath)
{
    hintedGUID(bRegistered, iFreedStamp, strClass, strTypeOfObject, basePath, false);
}

IOManager::GUIDResult IOManager::hintedGUID(const std::function<bool(const QString&)>& bRegistered,
                                            quint64 iFreedStamp, const QString& strClass,
                                            const QString& strTypeOfObject, const QString& basePath,
                                            bool bReadyFolder)
{
    GUIDMaker maker(*this, bRegistered, basePath);
    if (!m_bFileSystem || strClass == QLatin1String("AVDocument"))
        return maker.next(strClass, strTypeOfObject);
    const QString key = maker.stem(strClass) + QLatin1Char('|') + maker.extension(strClass, strTypeOfObject);
    const auto hint = m_numberHints.constFind(key);
    if (hint != m_numberHints.constEnd() && hint->iStamp == iFreedStamp)
        maker.m_next[key] = hint->n;
    GUIDResult result = maker.find(strClass, strTypeOfObject, bReadyFolder);
    // The number given is tried first next time: it stays free if the new
    // object never registers.
    if (result.ok())
        m_numberHints.insert(key, {maker.m_dir + maker.m_name + QStringLiteral("_files"), iFreedStamp, maker.m_next[key]});
    return result;
}

void IOManager::forgetNumbersIn(const QString& strPath)
{
    const QString folder = strAbsolutePath(QFileInfo(strPath).path());
    m_numberHints.removeIf([&](const auto& it) { return it.value().strFolder == folder; });
}

IOManager::GUIDMaker IOManager::guidMaker(const QStringList& registeredIds, const QString& basePath) const
{
    return GUIDMaker(*this, registeredIds, basePath);
}

IOManager::GUIDMaker::GUIDMaker(const IOManager& io, const std::function<bool(const QString&)>& bRegistered,
                                const QString& basePath)
    : m_io(io), m_bRegistered(bRegistered)
{
    if (!m_io.m_bFileSystem)
        return;
    m_name = strSplitPath(basePath, &m_dir);
    if (m_dir.isEmpty())
        m_dir = QStringLiteral("./");
    m_dir = strAbsolutePath(m_dir);
    if (!m_dir.endsWith(QLatin1Char('/')))
        m_dir += QLatin1Char('/');
}

IOManager::GUIDMaker::GUIDMaker(const IOManager& io, const QStringList& registeredIds, const QString& basePath)
    : GUIDMaker(io, nullptr, basePath)
{
    if (!m_io.m_bFileSystem)
        return;
    // A queued or removed identifier stays taken: its file may still be
    // deleted when the document is released.
    m_taken = m_io.m_reserved;
    for (const QString& id : registeredIds)
        if (!id.isEmpty())
            m_taken.insert(strAbsolutePath(id));
    for (const QString& id : m_io.m_colGUIDToRemove)
        m_taken.insert(strAbsolutePath(id));
}

bool IOManager::GUIDMaker::bTaken(const QString& strNormalised) const
{
    if (m_taken.contains(strNormalised))
        return true;
    return m_bRegistered
           && (m_io.m_reserved.contains(strNormalised) || m_io.m_queuedKeys.contains(strNormalised)
               || m_bRegistered(strNormalised));
}

QString IOManager::GUIDMaker::stem(const QString& strClass) const
{
    return m_dir + m_name + QStringLiteral("_files/") + m_name + QLatin1Char('_') + strClass.toLower();
}

QString IOManager::GUIDMaker::extension(const QString& strClass, const QString& strTypeOfObject) const
{
    return strClass == QLatin1String("MediaObject") ? QLatin1Char('.') + strTypeOfObject : QStringLiteral(".xml");
}

QString IOManager::GUIDMaker::strReadyFolder()
{
    const QString folder = m_dir + m_name + QStringLiteral("_files");
    // Made or found once per maker: nothing removes it meanwhile.
    if (!m_readyFolders.contains(folder)) {
        if (!vFolderExists(folder)) {
            if (const QString error = strMakeDir(folder); !error.isEmpty())
                return error;
        }
        // An object folder that is a link to elsewhere would take the new
        // objects out of the document's folder.
        if (!FolderBounds(m_dir).bContains(folder))
            return folder + QLatin1Char(' ') + text(msg::OutsideDocumentFolder);
        if (m_io.m_saveAs)
            m_io.m_saveAs->folders << folder;
    }
    m_readyFolders.insert(folder);
    return {};
}

IOManager::GUIDResult IOManager::GUIDMaker::next(const QString& strClass, const QString& strTypeOfObject)
{
    return find(strClass, strTypeOfObject, true);
}

IOManager::GUIDResult IOManager::GUIDMaker::find(const QString& strClass, const QString& strTypeOfObject,
                                                 bool bReadyFolder)
{
    GUIDResult result;
    if (!m_io.m_bFileSystem)
        return result;
    if (strClass == QLatin1String("AVDocument")) {
        result.strGUID = m_dir + m_name + QStringLiteral(".xml");
        return result;
    }
    if (bReadyFolder)
        result.strError = strReadyFolder();
    if (!result.ok())
        return result;

    // Numbers below the last one given are taken or occupied already:
    // nothing frees one while identifiers are being made.
    const QString stem = this->stem(strClass);
    const QString extension = this->extension(strClass, strTypeOfObject);
    qint64& n = m_next[stem + QLatin1Char('|') + extension];
    for (n = std::max<qint64>(n, 1); n <= std::numeric_limits<int>::max(); ++n) {
        const QString candidate = stem + QString::number(n) + extension;
        const QString normalised = strAbsolutePath(candidate);
        if (bTaken(normalised))
            continue;
        if (bOccupied(candidate))
            continue;
        m_taken.insert(normalised);
        result.strGUID = candidate;
        return result;
    }
    result.strError = kOverflow;
    return result;
}

QString IOManager::strOpen(xml::Document& doc, const QString& strGUID, PreparedFields* prepared)
{
    // Parsed moments ago by a scan of the same open, which nothing writes.
    if (m_bFileSystem && !m_parsed.isEmpty()) {
        const QString key = strAbsolutePath(strGUID);
        if (const auto it = m_parsed.find(key); it != m_parsed.end()) {
            const auto parsed = std::move(*it);
            m_parsed.erase(it);
            doc = std::move(parsed->doc);
            if (prepared)
                *prepared = std::move(parsed->prepared);
            m_known.insert(key, parsed->known);
            return {};
        }
    }
    doc = xml::Document();
    if (!m_bFileSystem)
        return {};
    // Read by the path its bounds are judged on: "link/.." leads where the
    // name says, not to the link's parent.
    const QString path = strAbsolutePath(strGUID);
    // Anything else found there is refused by the load, which says what it is.
    if (!QFileInfo::exists(path)) {
        // Bytes that are not UTF-8 in a name read as replacement characters,
        // and the path made of them names nothing.
        if (strGUID.contains(QChar::ReplacementCharacter))
            return strGUID + QLatin1Char(' ') + text(msg::NameNotUtf8);
        return text(msg::ObjectNotFound) + QLatin1Char(' ') + strGUID;
    }
    // Stamped before the read: a write in between makes the file known as changed.
    const FileStamp before = FileStamp::of(path);
    if (!doc.load(path)) {
        m_known.remove(path);
        return strFailedOn(QStringLiteral("XML Parser: "), strGUID, doc.parseErrorReason());
    }
    m_known.insert(path, KnownFile::afterRead(path, before));
    return {};
}

QString IOManager::strSave(xml::Document& doc, const QString& strGUID)
{
    if (!m_bFileSystem)
        return {};
    // The permission bits are checked here because root ignores them, and a
    // file someone made read-only must not be replaced behind their back.
    const QFileInfo target(strGUID);
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner))
        return kPermissionDenied;
    QString error;
    const QString key = strAbsolutePath(strGUID);
    const bool bNew = m_saveAs && !bPresent(strGUID);
    const auto placement = m_saveAs || m_known.contains(key) ? fs::Placement::Replace : fs::Placement::NoReplace;
    const QByteArray bytes = doc.toBytes();
    if (!fs::writeAtomically(strGUID, bytes, &error, placement)) {
        m_index.remove(key);
        return error.isEmpty() ? QStringLiteral("Path not found") : error;
    }
    indexWritten(strGUID, doc);
    m_known.insert(key, KnownFile::afterWrite(key, bytes));
    if (bNew)
        m_saveAs->files << strGUID;

    // The file now holds a live object; deleting it at release would lose it.
    for (int i = m_colGUIDToRemove.Count(); i >= 1; --i)
        if (bGUIDComp(m_colGUIDToRemove.Item(i), strGUID))
            unqueue(i);
    return {};
}

IOManager::DiskState IOManager::diskState(const QString& strGUID)
{
    const auto it = m_known.find(strAbsolutePath(strGUID));
    if (it == m_known.end())
        return DiskState::Unknown;
    switch (it->check(it.key())) {
    case KnownFile::State::Same:
        return DiskState::Same;
    case KnownFile::State::Gone:
        return DiskState::Gone;
    case KnownFile::State::Changed:
        break;
    }
    return DiskState::Changed;
}

void IOManager::TakeOver(const QString& strGUID)
{
    const QString key = strAbsolutePath(strGUID);
    m_known.insert(key, KnownFile{FileStamp::of(key), {}});
}

QString IOManager::strSync()
{
    QString failures;
    QString lastError;
    while (!m_colGUIDToRemove.isEmpty()) {
        const QString id = m_colGUIDToRemove.Item(1);
        const QString error = strDeleteObject(id);
        if (!error.isEmpty()) {
            failures += QLatin1Char(' ') + id;
            lastError = error;
        }
        unqueue(1);
    }
    if (failures.isEmpty())
        return {};
    return failures + QStringLiteral(": ") + lastError;
}

void IOManager::release()
{
    strSync();
}

QString IOManager::strWhatIs(const QString& strGUID)
{
    if (!m_bFileSystem)
        return {};
    QString error;
    const auto info = objectFileInfo(strGUID, &error);
    if (!info) {
        ReportMalformed(strGUID, error);
        return {};
    }
    return info->strClass;
}

namespace {

// The single-value relations of the expressions: version and part-of.
bool bIsSingleRelation(const QString& lowerName)
{
    return lowerName == QLatin1String("versionguid") || lowerName.startsWith(QLatin1String("partof"));
}

std::shared_ptr<const IOManager::ObjectFileInfo> infoOf(const xml::Document& doc)
{
    auto info = std::make_shared<IOManager::ObjectFileInfo>();
    const xml::Node root = doc.documentElement();
    if (root.isNull())
        return info;
    info->strClass = root.localName();
    for (const xml::Node& e : root.childElements()) {
        QStringList texts;
        for (const xml::Node& c : e.childElements())
            texts << c.text();
        if (!texts.isEmpty())
            info->lists.insert(e.nodeName(), texts);
        else if (const QString name = e.localName().toLower();
                 bIsSingleRelation(name)
                 && std::none_of(info->values.begin(), info->values.end(),
                                 [&name](const auto& value) { return value.strLowerName == name; })) {
            const QString value = e.text();
            const bool bNormal = !value.isEmpty() && strAbsolutePath(value) == value;
            info->values.push_back({name, value, bNormal ? IOManager::ObjectFileInfo::relationKey(name, value) : QString()});
        }
    }
    return info;
}

} // namespace

std::shared_ptr<const IOManager::ObjectFileInfo> IOManager::objectFileInfo(const QString& strGUID, QString* error)
{
    auto result = std::move(objectFileInfos({strGUID}).front());
    if (!result.info && error)
        *error = result.error;
    return result.info;
}

std::vector<IOManager::FileInfoResult> IOManager::objectFileInfos(const QStringList& colGUIDs)
{
    const int n = static_cast<int>(colGUIDs.size());
    struct Slot {
        QString key;
        FileStamp stamp;
        bool bRead = false; // parsed now, not taken from the index
        std::shared_ptr<Parsed> parsed;
    };
    std::vector<Slot> pending(static_cast<size_t>(n));
    std::vector<FileInfoResult> results(static_cast<size_t>(n));

    // The workers only read the index; every change to it is made below, in
    // order, once they are done.
    const auto work = [&](int i) {
        Slot& slot = pending[static_cast<size_t>(i)];
        FileInfoResult& result = results[static_cast<size_t>(i)];
        slot.key = strAbsolutePath(colGUIDs[i]);
        result.strKey = slot.key;
        slot.stamp = FileStamp::of(slot.key);
        const auto it = m_index.constFind(slot.key);
        if (it != m_index.constEnd() && it->stamp.bUnchanged(slot.stamp)) {
            result.info = it->info;
            return;
        }
        slot.bRead = true;
        slot.parsed = std::make_shared<Parsed>();
        xml::Document& doc = slot.parsed->doc;
        try {
            if (doc.load(slot.key))
                result.info = infoOf(doc);
            else
                result.error = doc.parseErrorReason();
        } catch (const std::bad_alloc&) {
            result.info = nullptr;
            result.error = text(msg::NoMemoryForFile);
        }
        // The load that follows the scan finds the object's fields built;
        // without the memory for them it builds them itself.
        if (result.info && m_bKeepParsed)
            slot.parsed->known = KnownFile::afterRead(slot.key, slot.stamp);
        if (result.info && m_bKeepParsed && m_schema && !result.info->strClass.isEmpty()) {
            try {
                slot.parsed->prepared = {m_schema, result.info->strClass,
                                         SEColl::prepared(doc, m_schema, result.info->strClass)};
            } catch (const std::bad_alloc&) {
                slot.parsed->prepared = {};
            }
        }
    };
    // A few files are not worth starting threads for.
    constexpr int kPerThread = 64;
    const int threads = std::min<int>({static_cast<int>(std::thread::hardware_concurrency()), 8, n / kPerThread});
    if (threads <= 1) {
        for (int i = 0; i < n; ++i)
            work(i);
    } else {
        std::atomic<int> next{0};
        const auto drain = [&] {
            HeapReserve::adviseThreadHeap();
            for (int i = next++; i < n; i = next++)
                work(i);
        };
        std::vector<std::thread> pool;
        pool.reserve(static_cast<size_t>(threads - 1));
        try {
            for (int t = 1; t < threads; ++t)
                pool.emplace_back(drain);
        } catch (const std::system_error&) {
            // No more threads to be had: those running and this one finish.
        }
        drain();
        for (auto& thread : pool)
            thread.join();
    }

    if (threads > 1) { // a whole folder: grown once
        if (m_bKeepParsed)
            m_parsed.reserve(m_parsed.size() + n);
        m_index.reserve(m_index.size() + n);
    }
    for (int i = 0; i < n; ++i) {
        Slot& slot = pending[static_cast<size_t>(i)];
        if (!slot.bRead)
            continue;
        const auto& info = results[static_cast<size_t>(i)].info;
        if (!info) {
            m_index.remove(slot.key);
            continue;
        }
        m_index.insert(slot.key, IndexEntry{slot.stamp, info});
        if (m_bKeepParsed)
            m_parsed.emplace(slot.key, std::move(slot.parsed));
    }
    return results;
}

void IOManager::setBKeepParsed(bool value)
{
    m_bKeepParsed = value;
    m_schema.reset();
    if (!value) {
        m_parsed.clear();
        return;
    }
    // The schema the loads will read; a failure is theirs to report.
    QString error;
    if (const QString path = strGetXSDPath(); !path.isEmpty())
        m_schema = ParsedSchema::load(path, error);
}

void IOManager::indexWritten(const QString& strGUID, const xml::Document& doc)
{
    const QString key = strAbsolutePath(strGUID);
    m_index.insert(key, IndexEntry{FileStamp::of(key), infoOf(doc)});
}

void IOManager::ReportMalformed(const QString& strGUID, const QString& strReason)
{
    ReportOnce(strGUID, strFailedOn(QStringLiteral("XML Parser: "), strGUID, strReason));
}

void IOManager::ReportOnce(const QString& strGUID, const QString& strMessage)
{
    const QString key = strAbsolutePath(strGUID);
    if (m_reported.contains(key))
        return;
    m_reported.insert(key);
    prompts().MsgBox(strMessage, Prompts::OKOnly, Prompts::Exclamation);
}

QString IOManager::MoveObject(const QString& strSource, const QString& strTarget)
{
    if (!m_bFileSystem)
        return {};
    const QString source = strAbsolutePath(strSource);
    const QString target = strAbsolutePath(strTarget);
    if (m_saveAs) {
        if (bPresent(target))
            return qt_error_string(EEXIST);
        const QString error = CopyObject(source, target);
        if (error.isEmpty())
            m_saveAs->movedSources << source;
        return error;
    }
    const QString error = MoveFileFS(source, target);
    forgetNumbersIn(source);
    m_known.remove(source);
    m_known.remove(target);
    // The entry follows its file; a failed move may have left either.
    const auto moved = m_index.take(source);
    if (error.isEmpty() && moved.info)
        m_index.insert(target, IndexEntry{FileStamp::of(target), moved.info});
    else
        m_index.remove(target);
    return error;
}

QString IOManager::CopyObject(const QString& strSource, const QString& strTarget)
{
    if (!m_bFileSystem)
        return {};
    const QString target = strAbsolutePath(strTarget);
    m_index.remove(target);
    m_known.remove(target);
    const bool bNew = m_saveAs && !bPresent(target);
    const QString error = CopyFileFS(strAbsolutePath(strSource), target);
    if (bNew && error.isEmpty())
        m_saveAs->files << target;
    return error;
}

void IOManager::BeginSaveAs(const QString& strNewGUID)
{
    m_saveAs = std::make_unique<SaveAsRecord>();
    // A kill from here on leaves temporaries in the copy's folders, which
    // nothing may open or save again: the next start is told where.
    if (m_bFileSystem && !strNewGUID.isEmpty())
        m_saveAs->note = std::make_unique<fs::TemporariesNote>(temporaryFolders(strNewGUID));
}

void IOManager::EndSaveAs(bool bSucceeded)
{
    if (!m_saveAs)
        return;
    const auto record = std::move(m_saveAs);
    const auto removeAll = [this](const QStringList& files) {
        for (auto it = files.crbegin(); it != files.crend(); ++it) {
            QFile::remove(*it);
            m_index.remove(strAbsolutePath(*it));
            m_known.remove(strAbsolutePath(*it));
        }
    };
    if (bSucceeded) {
        removeAll(record->movedSources);
        return;
    }
    removeAll(record->files);
    // A folder that holds anything else than what was taken back stays.
    for (auto it = record->folders.crbegin(); it != record->folders.crend(); ++it)
        ::rmdir(QFile::encodeName(*it).constData());
}

std::vector<std::pair<QString, QString>> IOManager::temporaryFolders(const QString& strDocGUID)
{
    QString folder;
    const QString name = strSplitPath(strAbsolutePath(strDocGUID), &folder);
    // Beside the document file only its own; the object folder is all ours.
    return {{folder, QFileInfo(strDocGUID).fileName()}, {folder + name + QStringLiteral("_files"), QString()}};
}

void IOManager::RemoveStaleTemporaries(const QString& strDocGUID)
{
    if (!m_bFileSystem || strDocGUID.isEmpty())
        return;
    for (const auto& [where, forName] : temporaryFolders(strDocGUID)) {
        const QString key = where + QLatin1Char('/') + forName;
        if (m_cleanedFolders.contains(key))
            continue;
        m_cleanedFolders.insert(key);
        fs::removeStaleTemporaries(where, forName);
    }
}

QString IOManager::strDeleteObject(const QString& strGUID)
{
    if (!m_bFileSystem)
        return {};
    // The file the document's bounds were judged on, not the one "link/.." leads to.
    const QString path = strAbsolutePath(strGUID);
    const QFileInfo info(path);
    if (!info.isFile())
        return kFileNotFound;
    // Deleting without force leaves a read-only file. The permission bits are
    // checked here because unlink ignores them (and root ignores them anyway).
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return kPermissionDenied;
    QFile file(path);
    if (!file.remove())
        return file.errorString();
    forgetNumbersIn(path);
    m_index.remove(path);
    m_known.remove(path);
    return {};
}

} // namespace vimra
