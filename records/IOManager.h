#pragma once

#include "platform/FileWrite.h"
#include "platform/Xml.h"
#include "records/Coll.h"
#include "records/FileStamp.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <utility>
#include <vector>

namespace vimra {

class ParsedSchema;
class SEColl;

// The storage back end of one open document: opens and saves the instance
// files of its objects, makes and compares their identifiers (absolute file
// paths), and deletes the files of removed objects when the document is
// released. Outside file-system mode every operation does nothing.
class IOManager {
public:
    // A new identifier, or the reason none could be made; never both.
    struct GUIDResult {
        QString strGUID;
        QString strError;
        bool ok() const { return strError.isEmpty(); }
    };

    IOManager() = default;
    // Backstop only: the owner calls release() when it discards the document.
    ~IOManager();
    IOManager(const IOManager&) = delete;
    IOManager& operator=(const IOManager&) = delete;

    // The identifiers queued for deletion, in queue order (duplicates kept).
    const Coll<QString>& colGUIDToRemove() const { return m_colGUIDToRemove; }
    // Queues the file of a removed object; it is deleted at release().
    void RemoveGUID(const QString& strGUID);
    // Marks an identifier as no longer free for new objects (the document
    // calls it for every object it removes, saved or not).
    void reserve(const QString& strGUID);

    // `registeredIds`: the identifiers of every object registered in the
    // document. `strClass`: "AVDocument", "Version", "Media", "Storage",
    // "MediaObject", "Video", "Audio" or "Transcript". `strTypeOfObject`: a
    // media object's extension without the dot. `basePath`: the chosen path
    // for the document, the document's identifier for any other object.
    GUIDResult strCreateGUID(const QStringList& registeredIds, const QString& strClass,
                             const QString& strTypeOfObject, const QString& basePath);
    // The same identifier, for a document that answers whether a normalised
    // identifier names a registered object. `iFreedStamp` changes whenever the
    // document stops using an identifier without reserving it; while it stays,
    // the numbers found taken before are not tried again, so the thousandth
    // segment does not try the first 999 names.
    GUIDResult strCreateGUID(const std::function<bool(const QString&)>& bRegistered, quint64 iFreedStamp,
                             const QString& strClass, const QString& strTypeOfObject, const QString& basePath);
    // Finds now the identifier that call would give, without making its
    // folder, and keeps it to be tried first: the first new object of a large
    // document then does not try every number taken before it.
    void PrimeGUID(const std::function<bool(const QString&)>& bRegistered, quint64 iFreedStamp,
                   const QString& strClass, const QString& strTypeOfObject, const QString& basePath);

    // Makes identifiers one after another, each as strCreateGUID would with
    // every earlier one registered: a save-as names a whole document in one
    // pass, with one taken-set and one next number per class.
    class GUIDMaker {
    public:
        GUIDResult next(const QString& strClass, const QString& strTypeOfObject = QString());

    private:
        friend class IOManager;
        GUIDMaker(const IOManager& io, const QStringList& registeredIds, const QString& basePath);
        GUIDMaker(const IOManager& io, const std::function<bool(const QString&)>& bRegistered,
                  const QString& basePath);
        // next, making the folder ready only when `bReadyFolder`.
        GUIDResult find(const QString& strClass, const QString& strTypeOfObject, bool bReadyFolder);
        bool bTaken(const QString& strNormalised) const;
        QString stem(const QString& strClass) const;
        QString extension(const QString& strClass, const QString& strTypeOfObject) const;
        // The folder for the identifiers; "" or the reason it cannot be made.
        QString strReadyFolder();

        const IOManager& m_io;
        QString m_dir;
        QString m_name;
        QSet<QString> m_taken;
        std::function<bool(const QString&)> m_bRegistered; // in place of m_taken's copy, when given
        QSet<QString> m_readyFolders;
        QHash<QString, qint64> m_next; // by name stem and extension
    };
    GUIDMaker guidMaker(const QStringList& registeredIds, const QString& basePath) const;

    // An object's fields as SEColl::prepared built them from its file when a
    // scan read it, from `schema`, for the class `strClass`.
    struct PreparedFields {
        std::shared_ptr<const ParsedSchema> schema;
        QString strClass;
        std::shared_ptr<SEColl> fields;
    };
    // Loads the file into `doc` (a new document either way). "" on success.
    // With `prepared`, also answers the fields built when a scan read the
    // file, if it did (nothing otherwise).
    QString strOpen(xml::Document& doc, const QString& strGUID, PreparedFields* prepared = nullptr);
    // Writes `doc` atomically to the identifier's file. "" on success. A
    // file this store neither read nor wrote is never replaced, but by a
    // save-as: the name of a new object is taken only while it is free.
    QString strSave(xml::Document& doc, const QString& strGUID);

    // What became of an object file since this store last read or wrote it:
    // the same, changed by someone else, gone, or never read nor written here.
    enum class DiskState { Same, Changed, Gone, Unknown };
    DiskState diskState(const QString& strGUID);
    // The file as it is now counts as read here: the cataloguer chose to
    // write over what another made of it.
    void TakeOver(const QString& strGUID);

    // Same file: absolute, lexically normalised, case-sensitive.
    static bool bGUIDComp(const QString& a, const QString& b);

    void setBFileSystem(bool value) { m_bFileSystem = value; }
    bool bFileSystem() const { return m_bFileSystem; }

    // Deletes every queued file once and empties the queue. "" or the list of
    // failed identifiers followed by ": " and the last reason.
    QString strSync();
    // Performs the deletion queue; further calls find it empty.
    void release();

    // The class name of the object stored at the identifier (its root's local
    // name); "" when the file cannot be read.
    QString strWhatIs(const QString& strGUID);
    // Shows a malformed file's parser message, once per file for this store:
    // the scans of one open meet the same file again and again.
    void ReportMalformed(const QString& strGUID, const QString& strReason);
    // Shows why the object file could not be opened, once per file for this
    // store, whichever scan or relation meets it first (a malformed file
    // included).
    void ReportOnce(const QString& strGUID, const QString& strMessage);

    // What a relation scan reads of one object file: its class (the root's
    // local name) and, by full element name, the texts of the child elements
    // of the root's elements that have any (the last such element's), and
    // by lower-cased name the text of the first element of that name that
    // has none, for an expression's version and part-of fields, with the
    // key a scan finds it under.
    struct ObjectFileInfo {
        QString strClass;
        QHash<QString, QStringList> lists;
        struct Relation {
            QString strLowerName;
            QString strValue;
            // The lower-cased name, a line break and the value normalised,
            // made where the file was read when the value is an absolute
            // normal path (no folder to resolve it against); "" otherwise.
            QString strKey;
        };
        std::vector<Relation> values; // the first of each name
        // The key under which scans look a relation up.
        static QString relationKey(const QString& lowerName, const QString& strNormalValue)
        {
            return lowerName + QLatin1Char('\n') + strNormalValue;
        }
    };
    // The object file's entry in the index of object files: read again when
    // the file's size or time differ from the entry, kept current by this
    // store's own saves, deletions and moves. Relation scans read the
    // document folder through it. nullptr when the file cannot be read, with
    // the parser's reason in `error`.
    std::shared_ptr<const ObjectFileInfo> objectFileInfo(const QString& strGUID, QString* error = nullptr);
    // objectFileInfo of many files, in their order: the files whose entries
    // are not current are read side by side on the machine's cores, and the
    // index is brought up to date in that order.
    struct FileInfoResult {
        std::shared_ptr<const ObjectFileInfo> info;
        QString error;
        QString strKey; // the identifier normalised
    };
    std::vector<FileInfoResult> objectFileInfos(const QStringList& colGUIDs);
    // While on, a document objectFileInfo parses waits for the next strOpen of
    // its file, so that a scan followed by a load reads the file once, with
    // its fields built from the schema the settings name (on the reading
    // threads); the caller turns it on only while nothing writes the files.
    // Turning it off drops those no load took.
    void setBKeepParsed(bool value);

    // Move refuses an existing target; copy overwrites. "" or the reason.
    QString MoveObject(const QString& strSource, const QString& strTarget);
    QString CopyObject(const QString& strSource, const QString& strTarget);

    bool bConnectToDM() const { return false; }

    // A save-as takes back what it made when it fails. Between BeginSaveAs and
    // EndSaveAs the store notes every file and folder it creates, and a move
    // only copies: its source stays until the save-as has succeeded.
    // EndSaveAs(true) then removes the moves' sources; EndSaveAs(false)
    // removes the noted files and folders, and nothing else.
    // `strNewGUID`: the copy's document file.
    void BeginSaveAs(const QString& strNewGUID = QString());
    void EndSaveAs(bool bSucceeded);

    // Removes the temporary files that an earlier run left beside the
    // document file and in its object folder (once per folder for this store).
    void RemoveStaleTemporaries(const QString& strDocGUID);

private:
    QString strDeleteObject(const QString& strGUID);
    // The folders a save of the document writes temporaries into, each with
    // the name that limits which there are its own.
    static std::vector<std::pair<QString, QString>> temporaryFolders(const QString& strDocGUID);

    struct IndexEntry {
        FileStamp stamp;
        std::shared_ptr<const ObjectFileInfo> info;
    };
    void indexWritten(const QString& strGUID, const xml::Document& doc);

    QHash<QString, IndexEntry> m_index; // by normalised identifier
    // The object files as this store last read or wrote them, by normalised
    // identifier: the scans' index follows the disk, this does not.
    QHash<QString, KnownFile> m_known;
    struct Parsed {
        xml::Document doc;
        PreparedFields prepared;
        KnownFile known;
    };
    QHash<QString, std::shared_ptr<Parsed>> m_parsed; // waiting for strOpen, by normalised identifier
    bool m_bKeepParsed = false;
    std::shared_ptr<const ParsedSchema> m_schema; // the fields of kept files are built from it
    Coll<QString> m_colGUIDToRemove{Qt::CaseSensitive};
    QHash<QString, int> m_queuedKeys; // normalised identifiers in m_colGUIDToRemove, with their counts
    void unqueue(int index);
    // Where the search for a free number starts, by name stem and extension:
    // every lower number was found taken while the freed stamp was `iStamp`.
    struct NumberHint {
        QString strFolder;
        quint64 iStamp = 0;
        qint64 n = 1;
    };
    QHash<QString, NumberHint> m_numberHints;
    GUIDResult hintedGUID(const std::function<bool(const QString&)>& bRegistered, quint64 iFreedStamp,
                          const QString& strClass, const QString& strTypeOfObject, const QString& basePath,
                          bool bReadyFolder);
    // A file of the folder is gone: its number may be free again.
    void forgetNumbersIn(const QString& strPath);
    QSet<QString> m_reserved; // normalised identifiers of removed objects
    QSet<QString> m_reported; // files whose failure was shown
    bool m_bFileSystem = false;

    struct SaveAsRecord {
        QStringList files;   // created, in order
        QStringList folders; // created, in order
        QStringList movedSources;
        std::unique_ptr<fs::TemporariesNote> note; // the copy's folders, for a start after a kill
    };
    std::unique_ptr<SaveAsRecord> m_saveAs; // while a save-as runs
    QSet<QString> m_cleanedFolders;
};

} // namespace vimra
