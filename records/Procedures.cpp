#include "records/Procedures.h"

#include "platform/FileCopy.h"
#include "platform/FileWrite.h"
#include "platform/MediaDetector.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/FileStamp.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <dirent.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sfs = std::filesystem;

namespace vimra {

namespace {

sfs::path toPath(const QString& s) { return sfs::path(QFile::encodeName(s).toStdString()); }
QString fromPath(const sfs::path& p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

QString errorText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }
QString errorText(const std::error_code& ec) { return QString::fromStdString(ec.message()); }

// Whether anything, even a dangling link, occupies the path.
bool pathOccupied(const QString& path)
{
    std::error_code ec;
    return sfs::exists(sfs::symlink_status(toPath(path), ec));
}

// The file-name part of a path: the text after the last "/".
QString fileNameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

// Splits a file name at its last dot. A name starting with its only dot
// (".xml") has an empty base: the text after the last dot is always the
// extension, so such a file is still known by it.
void splitName(const QString& name, QString& base, QString& extension)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        base = name;
        extension.clear();
    } else {
        base = name.left(dot);
        extension = name.mid(dot + 1);
    }
}

// A 16-bit integer part of a date text.
bool datePart(const QString& text, int& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        return false;
    value = v;
    return true;
}

bool inDateRange(int year) { return year >= 1 && year <= 9999; }

} // namespace

// ---- paths and files ----

namespace {

// An absolute path with nothing to normalise: identifiers are stored so, and
// they are compared far more often than they are made.
bool bAlreadyNormal(const QString& path)
{
    const auto* const p = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype n = path.size();
    if (n == 0 || p[0] != u'/' || (n > 1 && p[n - 1] == u'/'))
        return false;
    // Identifiers are asked about many times each: eight characters at a
    // time, a path with no "//", no "/." and no surrogate passes at once.
    qsizetype i = 0;
#ifdef __SSE2__
    bool bPlain = true;
    const __m128i slash = _mm_set1_epi16('/');
    const __m128i dot = _mm_set1_epi16('.');
    const __m128i surrogateMask = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    for (; bPlain && i + 9 <= n; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
        const __m128i bad = _mm_or_si128(
            _mm_and_si128(_mm_cmpeq_epi16(c, slash), _mm_or_si128(_mm_cmpeq_epi16(next, slash), _mm_cmpeq_epi16(next, dot))),
            _mm_cmpeq_epi16(_mm_and_si128(c, surrogateMask), surrogate));
        bPlain = _mm_movemask_epi8(bad) == 0;
    }
    if (!bPlain)
        i = 0;
#endif
    // The rest one at a time: no empty, "." or ".." part, and text that is
    // valid UTF-16 (only a surrogate asks for the full check).
    bool bSurrogate = false;
    for (; i < n; ++i) {
        if (p[i] != u'/') {
            bSurrogate = bSurrogate || (p[i] & 0xF800) == 0xD800;
            continue;
        }
        const qsizetype dots = i + 2 < n && p[i + 1] == u'.' && p[i + 2] == u'.' ? 2
            : i + 1 < n && p[i + 1] == u'.'                                     ? 1
                                                                                : 0;
        const qsizetype after = i + 1 + dots;
        if (after == n || p[after] == u'/')
            return n == 1;
    }
    return !bSurrogate || path.isValidUtf16();
}

} // namespace

QString strAbsolutePath(const QString& path, const QString& baseFolder)
{
    if (bAlreadyNormal(path))
        return path;
    sfs::path p = toPath(path.isEmpty() ? QStringLiteral(".") : path);
    if (p.is_relative()) {
        std::error_code ec;
        const sfs::path base = baseFolder.isEmpty() ? sfs::current_path(ec) : sfs::absolute(toPath(baseFolder), ec);
        p = base / p;
    }
    QString result = fromPath(p.lexically_normal());
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

QString strSplitPath(const QString& path, QString* folder, QString* extension)
{
    if (path.isEmpty()) {
        if (folder)
            folder->clear();
        if (extension)
            extension->clear();
        return {};
    }
    const QString name = fileNameOf(path);
    QString base, ext;
    splitName(name, base, ext);
    if (folder) {
        *folder = path.left(path.size() - name.size());
        if (folder->isEmpty())
            *folder = QStringLiteral("./");
    }
    if (extension)
        *extension = ext;
    return base;
}

QString vFileNameOf(const QString& path)
{
    QString base, ext;
    splitName(fileNameOf(path), base, ext);
    return base + QLatin1Char('.') + ext;
}

QString vExtensionOf(const QString& path)
{
    QString base, ext;
    splitName(fileNameOf(path), base, ext);
    return ext;
}

bool vFileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool vFolderExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

namespace {

// The last part of a path when normalising it keeps that part as it is.
} // namespace

std::optional<QStringView> plainLastName(const QString& path)
{
    const QStringView name = QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name == u"." || name == u".." || !name.isValidUtf16())
        return std::nullopt;
    return name;
}

bool bSamePath(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const auto nameA = plainLastName(a);
    const auto nameB = plainLastName(b);
    if (nameA && nameB && *nameA != *nameB)
        return false;
    // Two normal paths name the same file only when they are equal.
    if (bAlreadyNormal(a) && bAlreadyNormal(b))
        return false;
    return strAbsolutePath(a) == strAbsolutePath(b);
}

namespace {

// The files (or links to files) of a folder matching the wildcard, but for
// hidden ones, in no order. A folder of tens of thousands of object files is
// listed at every open: a name ending is matched without looking at each
// file unless it is a link.
QStringList listFiles(const QString& folder, const QString& wildcard)
{
    const QString suffix = wildcard.mid(1);
    if (!wildcard.startsWith(QLatin1Char('*')) || suffix.contains(QLatin1Char('*'))
        || suffix.contains(QLatin1Char('?')) || suffix.contains(QLatin1Char('[')))
        return QDir(folder).entryList(QStringList{wildcard}, QDir::Files, QDir::Unsorted);
    QStringList names;
    const auto listing = fs::folderEntries(folder);
    for (const fs::FolderEntry& entry : *listing) {
        if (entry.name.startsWith('.'))
            continue;
        const QString name = QFile::decodeName(entry.name);
        if (name.endsWith(suffix, Qt::CaseInsensitive) && fs::folderEntryMode(folder, entry, true) == S_IFREG)
            names << name;
    }
    return names;
}

bool bAsciiBytes(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// colListFiles for a name ending in a folder of ASCII names, the common
// case, from the listed bytes: each name is lower-cased once for the order
// and made text once; none where the case is not that one.
std::optional<QStringList> asciiFilesInOrder(const QString& folder, const QString& wildcard)
{
    const QString suffix = wildcard.mid(1);
    const QByteArray suffixBytes = suffix.toLatin1().toLower();
    if (!wildcard.startsWith(QLatin1Char('*')) || suffix.contains(QLatin1Char('*'))
        || suffix.contains(QLatin1Char('?')) || suffix.contains(QLatin1Char('['))
        || !std::all_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return std::nullopt;
    const auto listing = fs::folderEntries(folder);
    // The lower-cased names one after another in one buffer.
    std::string lower;
    struct Key {
        size_t at;
        size_t size;
        const QByteArray* name; // as listed
    };
    std::vector<Key> keys;
    keys.reserve(listing->size());
    for (const fs::FolderEntry& entry : *listing) {
        const QByteArray& name = entry.name;
        if (!bAsciiBytes(name))
            return std::nullopt;
        if (name.startsWith('.') || name.size() < suffixBytes.size()
            || qstrnicmp(name.constData() + name.size() - suffixBytes.size(), suffixBytes.size(),
                         suffixBytes.constData(), suffixBytes.size()) != 0
            || fs::folderEntryMode(folder, entry, true) != S_IFREG)
            continue;
        keys.push_back({lower.size(), static_cast<size_t>(name.size()), &name});
        for (const char c : name)
            lower += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    const auto lowerOf = [&lower](const Key& k) { return std::string_view(lower.data() + k.at, k.size); };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        const int c = lowerOf(a).compare(lowerOf(b));
        return c != 0 ? c < 0 : *a.name < *b.name;
    });
    QStringList names;
    names.reserve(static_cast<qsizetype>(keys.size()));
    for (const Key& key : keys)
        names << QString::fromLatin1(*key.name);
    return names;
}

} // namespace

QStringList colListFiles(const QString& pattern)
{
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : pattern.left(slash));
    const QString wildcard = pattern.mid(slash + 1);
    // Matching and order ignore case, as on the platform the files were made on;
    // names equal but for case keep a fixed order.
    if (auto names = asciiFilesInOrder(folder, wildcard))
        return *std::move(names);
    QStringList names = listFiles(folder, wildcard);
    const bool bAscii = std::all_of(names.cbegin(), names.cend(), [](const QString& name) {
        return std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
    });
    if (!bAscii) {
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            const int c = a.compare(b, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a < b;
        });
        return names;
    }
    // The same order from names lower-cased once, not at every comparison.
    std::vector<std::pair<QByteArray, QByteArray>> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : names) {
        const QByteArray raw = name.toLatin1();
        keys.emplace_back(raw.toLower(), raw);
    }
    std::sort(keys.begin(), keys.end());
    for (size_t i = 0; i < keys.size(); ++i)
        names[static_cast<qsizetype>(i)] = QString::fromLatin1(keys[i].second);
    return names;
}

QStringList colUndecodableXmlNames(const QString& folder)
{
    QStringList names;
    const auto listing = fs::folderEntries(folder);
    for (const fs::FolderEntry& entry : *listing) {
        const QByteArrayView name(entry.name);
        if (name.startsWith('.') || name.size() < 4 || qstrnicmp(name.last(4).data(), 4, ".xml", 4) != 0)
            continue;
        if (!name.isValidUtf8())
            names << QString::fromUtf8(name);
    }
    names.sort();
    return names;
}

namespace {

// Queues the parts of a path to be walked before those queued already.
void pushParts(std::vector<QByteArray>& pending, const QByteArray& path)
{
    const QList<QByteArray> parts = path.split('/');
    // Walked from the back.
    for (auto it = parts.crbegin(); it != parts.crend(); ++it)
        if (!it->isEmpty())
            pending.push_back(*it);
}

// The real path of an absolute, lexically normal path. Where the system
// cannot resolve it whole, its parts are walked one at a time from the
// folder before each, so neither the length nor the number of parts is
// limited: a part that does not exist (yet) and every part after it are kept
// as written, and a dangling link is followed to where its target would be
// made. At most 40 links are followed, as the system does.
QByteArray realPathOf(const QByteArray& path)
{
    if (path.isEmpty() || path == "/")
        return QByteArrayLiteral("/");
    std::array<char, PATH_MAX> buffer{};
    if (path.size() < PATH_MAX && ::realpath(path.constData(), buffer.data()))
        return QByteArray(buffer.data());
    std::vector<QByteArray> pending; // the parts still to walk, the next one last
    QByteArray resolved;             // without the "/" of the root
    // Most paths asked about are a new file in a folder that exists.
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && slash < PATH_MAX && ::realpath(path.left(slash).constData(), buffer.data())) {
        resolved = buffer.data();
        if (resolved == "/")
            resolved.clear();
        pending.push_back(path.mid(slash + 1));
    } else {
        pushParts(pending, path);
    }
    // The folder `resolved` names, open; -1 once a part is missing.
    int folder = ::open(resolved.isEmpty() ? "/" : resolved.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const auto enter = [&folder](int next) {
        if (folder >= 0)
            ::close(folder);
        folder = next;
    };
    int links = 0;
    while (!pending.empty()) {
        const QByteArray name = std::move(pending.back());
        pending.pop_back();
        if (name == ".")
            continue;
        if (name == "..") {
            resolved.truncate(std::max<qsizetype>(resolved.lastIndexOf('/'), 0));
            if (folder >= 0)
                enter(::openat(folder, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            continue;
        }
        struct stat st {};
        if (folder >= 0 && ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)
            && links < 40) {
            const ssize_t n = ::readlinkat(folder, name.constData(), buffer.data(), buffer.size());
            if (n > 0 && static_cast<size_t>(n) < buffer.size()) {
                ++links;
                const QByteArray target(buffer.data(), n);
                if (target.startsWith('/')) {
                    resolved.clear();
                    enter(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                }
                pushParts(pending, target);
                continue;
            }
        }
        const bool bFolder = folder >= 0 && S_ISDIR(st.st_mode);
        enter(bFolder ? ::openat(folder, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
        resolved += '/' + name;
    }
    enter(-1);
    return resolved.isEmpty() ? QByteArrayLiteral("/") : resolved;
}

} // namespace

QString strRealPath(const QString& path)
{
    QString result = QFile::decodeName(realPathOf(QFile::encodeName(strAbsolutePath(path))));
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

FolderBounds::FolderBounds(const QString& folder) : m_strRealFolder(strRealPath(folder))
{
    if (!m_strRealFolder.endsWith(QLatin1Char('/')))
        m_strRealFolder += QLatin1Char('/');
}

bool FolderBounds::bContains(const QString& path) const
{
    if (m_strRealFolder.isEmpty())
        return true;
    const QString absolute = strAbsolutePath(path);
    const quint64 scope = StampScope::current();
    if (scope == 0)
        return (strRealPath(absolute) + QLatin1Char('/')).startsWith(m_strRealFolder);
    // An open asks about thousands of files in a few folders: each folder's
    // real path and links are read once, and no file costs a look at the
    // disk. Most files asked about lie in the folder asked about before.
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    const QStringView folderPart = QStringView(absolute).left(slash + 1);
    const QStringView name = QStringView(absolute).mid(slash + 1);
    if (m_last.scope != scope || folderPart != m_lastFolder) {
        const QString folder = folderPart.toString();
        Folder& entry = m_folders[folder];
        if (entry.scope != scope) {
            entry = Folder{strRealPath(folder), {}, scope};
            if (!entry.strReal.endsWith(QLatin1Char('/')))
                entry.strReal += QLatin1Char('/');
            const auto listing = fs::folderEntries(folder);
            for (const fs::FolderEntry& e : *listing)
                if (e.type == DT_LNK || (e.type == DT_UNKNOWN && fs::folderEntryMode(folder, e, false) == S_IFLNK))
                    entry.links.insert(QFile::decodeName(e.name));
        }
        m_last = entry;
        m_lastFolder = folder;
    }
    if (!m_last.links.isEmpty() && m_last.links.contains(name.toString()))
        return (strRealPath(absolute) + QLatin1Char('/')).startsWith(m_strRealFolder);
    // Whether the folder's real path, the name and "/" begin with the bounds.
    QStringView bounds = m_strRealFolder;
    for (const QStringView part : {QStringView(m_last.strReal), name}) {
        if (bounds.size() <= part.size())
            return part.startsWith(bounds);
        if (!bounds.startsWith(part))
            return false;
        bounds = bounds.mid(part.size());
    }
    return bounds == u"/";
}

QString strMakeDir(const QString& folder)
{
    const auto failure = [&folder](const QString& reason) {
        return text(msg::CannotCreateDirectory) + QLatin1Char(' ') + folder + QStringLiteral(" (") + reason
            + QLatin1Char(')');
    };
    // A file in the way: the listing finds it and nothing was tried, hence no reason.
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return failure(QString());
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0)
        return failure(errorText(errno));
    return {};
}

QString MoveFileFS(const QString& source, const QString& target)
{
    const sfs::path from = toPath(source);
    const sfs::path to = toPath(target);
    std::error_code ec;
    if (!sfs::is_regular_file(from, ec))
        return errorText(ENOENT);
    if (pathOccupied(target))
        return errorText(EEXIST);
    sfs::rename(from, to, ec);
    if (!ec)
        return {};
    if (ec != std::errc::cross_device_link)
        return errorText(ec);
    // Another file system: copy, then drop the source; undo the copy if the
    // source cannot go, so the file never ends up in two places.
    if (const QString error = strCopyAtomically(source, target); !error.isEmpty())
        return error;
    if (!sfs::remove(from, ec)) {
        std::error_code ignored;
        sfs::remove(to, ignored);
        return errorText(ec);
    }
    return {};
}

QString CopyFileFS(const QString& source, const QString& target)
{
    std::error_code ec;
    if (!sfs::is_regular_file(toPath(source), ec))
        return errorText(ENOENT);
    // Never a half-made copy under the target's name, even if the program dies.
    return strCopyAtomically(source, target);
}

QString strFailedOn(const QString& strWhat, const QString& strPath, const QString& strReason)
{
    QString out = strWhat;
    if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')))
        out += QLatin1Char(' ');
    out += strPath;
    return strReason.isEmpty() ? out : out + QStringLiteral(": ") + strReason;
}

QString strToBackslashes(QString& text) { return text; }

QString strTempPath()
{
    QString path = QDir::tempPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString strStripNulls(const QString& text)
{
    QString out = text;
    out.remove(QChar(u'\0'));
    return out;
}

// ---- identifiers and XML values ----

QString strNewGUID() { return QUuid::createUuid().toString(QUuid::Id128); }

bool bParseDate(const QString& text, QDate& date)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() < 3)
        return false;
    int year = 0, month = 0, day = 0;
    if (!datePart(parts[0], year) || !datePart(parts[1], month) || !datePart(parts[2], day))
        return false;
    // Months and days out of range carry over into the next or previous ones.
    const int months = year * 12 + (month - 1);
    const int rolledYear = static_cast<int>(std::floor(months / 12.0));
    const int rolledMonth = months - rolledYear * 12 + 1;
    if (!inDateRange(rolledYear))
        return false;
    const QDate result = QDate(rolledYear, rolledMonth, 1).addDays(day - 1);
    if (!result.isValid() || !inDateRange(result.year()))
        return false;
    date = result;
    return true;
}

QString vBoolToXML(const FieldValue& value)
{
    const QString yes = QStringLiteral("true");
    const QString no = QStringLiteral("false");
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? yes : no;
    if (const int* i = std::get_if<int>(&value))
        return *i == 1 ? yes : no;
    if (const double* d = std::get_if<double>(&value))
        return *d == 1.0 ? yes : no;
    if (const QString* s = std::get_if<QString>(&value))
        return (*s == QLatin1String("True") || *s == QLatin1String("true")) ? yes : no;
    return no;
}

// ---- numbers ----

std::optional<int> roundedInt16(double number)
{
    if (!std::isfinite(number))
        return std::nullopt;
    const double r = std::nearbyint(number); // halves to the even neighbour
    if (r < std::numeric_limits<qint16>::min() || r > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return int(r);
}

std::optional<int> strictInt16(const QString& text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    return ok ? roundedInt16(d) : std::nullopt;
}

// ---- times and media ----

std::array<int, 5> vSecondsToTimeParts(double seconds, double frameRate)
{
    std::array<int, 5> parts{0, 0, 0, 0, 0};
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 3600.0 * std::numeric_limits<int>::max())
        return parts;
    // Rounding in the subtractions can leave a remainder just outside its
    // range (minutes = 60 for a time a hair below zero): each part is clamped
    // in floating point before it becomes an int.
    const auto part = [](double value, double highest) {
        return static_cast<int>(std::clamp(std::floor(value), 0.0, highest));
    };
    const int hours = static_cast<int>(std::floor(seconds / 3600.0));
    double rest = seconds - hours * 3600.0;
    const int minutes = part(rest / 60.0, 59);
    rest -= minutes * 60.0;
    const int wholeSeconds = part(rest, 59);
    parts[1] = hours;
    parts[2] = minutes;
    parts[3] = wholeSeconds;
    // The small nudge keeps a time built from h:m:s:f on frame f despite
    // rounding; frames stay below the rate.
    if (std::isfinite(frameRate) && frameRate > 0)
        parts[4] = part((rest - wholeSeconds) * frameRate + 1e-6,
                        std::min(std::ceil(frameRate) - 1, double(std::numeric_limits<int>::max())));
    return parts;
}

double dTimePartsToSeconds(const std::array<int, 5>& parts, double frameRate)
{
    double seconds = parts[1] * 3600.0 + parts[2] * 60.0 + parts[3];
    if (frameRate != 0.0)
        seconds += parts[4] / frameRate;
    return seconds;
}

bool bIsDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

double dMediaDuration(const QString& path) { return mediaDetector().streamLength(path); }

// ---- warnings ----

namespace {

void warnOnce(const QString& name, const QString& message)
{
    QStringList& names = appState().colNotFoundNames;
    if (names.contains(name, Qt::CaseSensitive))
        return;
    prompts().MsgBox(message, Prompts::OKCancel, Prompts::NoIcon);
    names.append(name);
}

} // namespace

void WarnNotFoundOnce(const QString& name) { warnOnce(name, name + QLatin1Char(' ') + text(msg::NotFound)); }

void WarnUnusableOnce(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        warnOnce(path, strFailedOn(QString(), path, text(msg::NotRegularFile)));
    else
        WarnNotFoundOnce(path);
}

} // namespace vimra
