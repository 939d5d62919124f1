#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace vimra::fs {

// How a finished file takes its name: over the old file, or only while
// nothing else has the name (a link included), failing with the system's
// "File exists" otherwise.
enum class Placement { Replace, NoReplace };

// Writes `bytes` to `path` atomically: a temporary file in the same folder,
// every write checked, made durable, then renamed over the old file (whose
// permissions it keeps). On failure answers false with the system's reason
// in *error and leaves any previous file as it was. Inside a SyncBatch the
// durability waits for the batch's finish().
bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error,
                     Placement placement = Placement::Replace);
// Copies `source` to `target` the same way: the copy is complete before it
// takes the target's name, and takes the source's permissions. The caller
// makes sure that `source` is a regular file: reading anything else may wait.
bool copyAtomically(const QString& source, const QString& target, QString* error);

// Removes from `folder` (not below it) the temporary files that these writes
// left when their process ended in the middle of one: only regular files of
// this user of our own temporary naming, last written before this process
// started, by a process that no longer runs; with `forName`, only those of
// the file of that name. Answers how many went. A temporary name fits the
// file-name limit whatever the target's name.
int removeStaleTemporaries(const QString& folder, const QString& forName = QString());

// A new path in `folder` for a file vimra makes outside any document and may
// leave behind when killed (a keyframe grab in the system's temporary
// folder): its name tells the cleanup that it is ours. `suffix`: a dot and
// up to 8 lower-case letters or digits (".bmp").
QString newOwnFileName(const QString& folder, const QString& suffix);

// Once at start: removes from the system's temporary folder (`tempFolder`
// when given) what ended runs of vimra left there, under the rules of
// removeStaleTemporaries, files of newOwnFileName's naming included, and the
// temporaries in the folders named by the notes such runs left. Answers how
// many files went.
int removeLeftovers(const QString& tempFolder = QString());

// While one lives, a note of ours in the system's temporary folder names the
// folders a long write is putting temporary files into, each with the file
// name that limits which are its own there ("" for all): after a kill the
// next start's removeLeftovers finds them. The note goes with the object.
class TemporariesNote {
public:
    explicit TemporariesNote(const std::vector<std::pair<QString, QString>>& folders,
                             const QString& tempFolder = QString());
    ~TemporariesNote();
    TemporariesNote(const TemporariesNote&) = delete;
    TemporariesNote& operator=(const TemporariesNote&) = delete;

private:
    QByteArray m_path;
};

// One name in a folder as the system listed it, with its type as the
// listing told it (DT_REG, DT_LNK, DT_UNKNOWN, ...).
struct FolderEntry {
    QByteArray name;
    unsigned char type = 0;
};
// The names in `folder` but "." and ".."; none when it cannot be read.
// While a ListingScope lives on this thread each folder is listed once and
// the listing is shared: an open's scan, its checks and its cleanup of one
// folder of tens of thousands of files read it once. Nothing but the cleanup
// (which updates the listing) may change a listed folder meanwhile.
std::shared_ptr<const std::vector<FolderEntry>> folderEntries(const QString& folder);
// The type of a listed name; links and unknown types are looked at with
// `followLinks` as stat or lstat does ((mode_t)0 when the name is gone).
unsigned folderEntryMode(const QString& folder, const FolderEntry& entry, bool followLinks);

class ListingScope {
public:
    ListingScope();
    ~ListingScope();
    ListingScope(const ListingScope&) = delete;
    ListingScope& operator=(const ListingScope&) = delete;

private:
    bool m_bOuter = false; // scopes nest; the outermost holds the listings
};

// While one lives on this thread, atomic writes skip their own sync, and
// finish() makes every one of them durable with one sync per file system
// written to: a pass that writes thousands of new files waits for the disk once, not
// once per file. Nothing written in the batch may be reported as saved
// before finish() answers "".
class SyncBatch {
public:
    SyncBatch();
    ~SyncBatch();
    SyncBatch(const SyncBatch&) = delete;
    SyncBatch& operator=(const SyncBatch&) = delete;

    // Syncs the file systems written to. "" or the system's reason.
    QString finish();

private:
    friend bool writeAtomically(const QString&, const QByteArray&, QString*, Placement);
    friend bool copyAtomically(const QString&, const QString&, QString*);
    // Keeps a descriptor of the folder from before the first write into it, so
    // that the sync reports any write-back failure since.
    QString watch(const QByteArray& folder);
    void close();

    SyncBatch* m_outer = nullptr;
    std::vector<std::pair<QByteArray, int>> m_folders; // path, descriptor (-1: its file system is watched already)
    bool m_finished = false;
};

} // namespace vimra::fs
