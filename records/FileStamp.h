#pragma once

#include <QByteArray>
#include <QString>

namespace vimra {

// What a cache keeps of a file it read, to tell later whether the file may
// have changed since: its size and modification time. File times advance in
// clock ticks, so a file changed within a tick of being read cannot be told
// from a later change: such a stamp never vouches for the file.
struct FileStamp {
    qint64 size = -1; // -1: no such file
    qint64 mtimeNs = 0;
    qint64 inode = 0;
    bool bRacy = true;

    // The file as it is now.
    static FileStamp of(const QString& path);
    bool exists() const { return size >= 0; }
    // True when `now` (a newer stamp of the same file) shows it unchanged.
    bool bUnchanged(const FileStamp& now) const
    {
        return !bRacy && exists() && bSameAs(now);
    }
    bool bSameAs(const FileStamp& other) const
    {
        return size == other.size && mtimeNs == other.mtimeNs && inode == other.inode;
    }
};

// What this program last read or wrote at a path, to tell at a save whether
// anyone else wrote there since. A racy stamp cannot vouch, so the bytes'
// digest is kept with it then; a file whose stamp differs and whose digest
// is unknown counts as changed.
struct KnownFile {
    FileStamp stamp;
    QByteArray digest; // empty: unknown

    // After reading `path`, with the stamp taken before the read: a file
    // changed meanwhile is known as changed.
    static KnownFile afterRead(const QString& path, const FileStamp& before);
    // After writing `bytes` to `path`.
    static KnownFile afterWrite(const QString& path, const QByteArray& bytes);

    enum class State { Same, Changed, Gone };
    // The file now against what was known. When the bytes vouch for it and
    // the file's stamp now can, the stamp is kept so that the next check
    // looks at the stamp alone.
    State check(const QString& path);
};

// One operation (opening or saving a whole document) asks the caches of the
// settings and the schema once per object. While a scope lives, a cache that
// checked its file's stamp once in it trusts that check for the rest of the
// scope, so each file is looked at once per operation, not once per object.
// Scopes nest; the outermost counts.
class StampScope {
public:
    StampScope();
    ~StampScope();
    StampScope(const StampScope&) = delete;
    StampScope& operator=(const StampScope&) = delete;
    // The live outermost scope's number, 0 when none lives.
    static quint64 current();
};

} // namespace vimra
