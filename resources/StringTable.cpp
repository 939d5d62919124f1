#include "resources/StringTable.h"

#include <QLocale>

#include <stdexcept>
#include <string>

namespace vimra {

namespace {

struct Entry {
    int id;
    const char16_t* english;
    const char16_t* italian; // empty: the English text serves
};

// Kept as C++ literals: many texts begin or end with blanks that must survive.
constexpr Entry kTable[] = {
#include "resources/string_table.inc"
};

constexpr int kFirstId = 1000;
constexpr int kLastId = 1205;

// Every id from the first to the last, in order, once: a dropped or repeated
// line in the table must not compile.
constexpr bool isContiguous()
{
    int expected = kFirstId;
    for (const Entry& e : kTable) {
        if (e.id != expected++)
            return false;
    }
    return expected == kLastId + 1;
}
static_assert(isContiguous(), "string table must hold every id once, in order");

std::optional<StringTable::Language> g_language;

} // namespace

StringTable::Language StringTable::language()
{
    if (g_language)
        return *g_language;
    return QLocale::system().language() == QLocale::Italian ? Language::Italian : Language::English;
}

void StringTable::setLanguage(Language language) { g_language = language; }

void StringTable::resetLanguage() { g_language.reset(); }

std::optional<QString> tryText(int id)
{
    if (id < kFirstId || id > kLastId)
        return std::nullopt;
    const Entry& e = kTable[id - kFirstId];
    if (StringTable::language() == StringTable::Language::Italian && e.italian[0] != u'\0')
        return QString::fromUtf16(e.italian);
    return QString::fromUtf16(e.english);
}

QString text(int id)
{
    if (auto t = tryText(id))
        return *t;
    throw std::out_of_range("no user-interface text " + std::to_string(id));
}

} // namespace vimra
