#pragma once

#include "records/ValueTypes.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vimra {

// ---- paths and files (POSIX paths; identifiers are absolute paths) ----

// The absolute, lexically normalised path ("." and ".." resolved, no link
// resolution); a relative path is taken against `baseFolder` when given, else
// against the current folder.
QString strAbsolutePath(const QString& path, const QString& baseFolder = QString());
// The base name (file name without its last extension); `folder` gets the
// path without its file name (ending in "/", or "./" when nothing is left),
// `extension` the last extension without the dot.
QString strSplitPath(const QString& path, QString* folder, QString* extension = nullptr);
QString vFileNameOf(const QString& path);  // base + "." + extension ("readme.")
QString vExtensionOf(const QString& path); // "" when there is none
bool vFileExists(const QString& path);
bool vFolderExists(const QString& path);
bool bSamePath(const QString& a, const QString& b);
// The last name of `path` when it names a file by itself (not "." nor ".."):
// two paths whose plain last names differ never name the same file.
std::optional<QStringView> plainLastName(const QString& path);
// The names (without folder) of the normal files matching a wildcard pattern
// such as "/dir/*.xml", sorted by name. Hidden files and folders are left out.
QStringList colListFiles(const QString& pattern);
// The names in `folder` ending in ".xml" (any case) that are not valid UTF-8:
// no text names them, so they can be neither listed nor opened. Shown with
// the undecodable bytes replaced. Hidden files are left out.
QStringList colUndecodableXmlNames(const QString& folder);
// The path with every symbolic link resolved; parts that do not exist (yet)
// are kept as written.
QString strRealPath(const QString& path);

// What a document may touch: its folder and everything below it, judged on
// real paths, so that neither "../" nor a symbolic link leads out of it.
// While a StampScope lives (an open) each folder asked about is resolved and
// listed once; not for sharing between threads.
class FolderBounds {
public:
    // No bounds: every path lies inside.
    FolderBounds() = default;
    explicit FolderBounds(const QString& folder);
    bool bContains(const QString& path) const;

private:
    struct Folder {
        QString strReal;  // ending in "/"
        QSet<QString> links; // names of the symbolic links in it
        quint64 scope = 0;
    };
    QString m_strRealFolder; // ending in "/"; "" for no bounds
    mutable QHash<QString, Folder> m_folders;
    mutable QString m_lastFolder; // the folder last asked about, and its entry
    mutable Folder m_last;
};
// Makes one folder level; "" on success, else msg::CannotCreateDirectory with the reason.
QString strMakeDir(const QString& folder);
// Moves a file; refuses an existing target; works across file systems.
// Answers "" or the reason it failed.
QString MoveFileFS(const QString& source, const QString& target);
// Copies a file, overwriting the target. Answers "" or the reason it failed.
QString CopyFileFS(const QString& source, const QString& target);
QString strToBackslashes(QString& text); // native separators: the identity here
QString strTempPath();                   // the temporary folder, ending in "/"
QString strStripNulls(const QString& text);
// A failure message: what failed, the file it failed on and the system's
// reason: "XML Parser: /a/b.xml: Premature end of data (line 3)".
QString strFailedOn(const QString& strWhat, const QString& strPath, const QString& strReason);

// ---- identifiers and XML values ----

QString strNewGUID(); // 32 lower-case hexadecimal digits
// Reads "yyyy-mm-dd" with calendar roll-over; on failure answers false and
// leaves `date` unchanged.
bool bParseDate(const QString& text, QDate& date);
QString vBoolToXML(const FieldValue& value);

// ---- numbers ----

// The number rounded half to even to a 16-bit integer; none when it is not
// finite or out of range.
std::optional<int> roundedInt16(double number);
// The whole (trimmed) text as a number (sign, decimals, exponent) rounded as
// roundedInt16; none when it is not a number or out of range.
std::optional<int> strictInt16(const QString& text);

// ---- times and media ----

// [0, hours, minutes, seconds, frames]; hours are not limited to two digits.
// Every part rounds down: a time inside a frame shows that frame; rate 0 gives frames 0.
std::array<int, 5> vSecondsToTimeParts(double seconds, double frameRate);
double dTimePartsToSeconds(const std::array<int, 5>& parts, double frameRate);
bool bIsDigits(const QString& text);
// Length in seconds of an audio or video file; 0 when it cannot tell.
double dMediaDuration(const QString& path);

// ---- warnings ----

// Shows "<name> not found" (OK, Cancel) once per name until the list is reset.
void WarnNotFoundOnce(const QString& name);
// The same for a file that cannot be used: "not found" when nothing has that
// name, the reason when something that is not a regular file has it (a
// folder, FIFO or device).
void WarnUnusableOnce(const QString& path);

} // namespace vimra
