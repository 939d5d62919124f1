#include "resources/StringTable.h"

#include <QLocale>

#include <stdexcept>

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
    for (const Entry& e : kTable) {
        if (e.id != id)
            continue;
        if (StringTable::language() == StringTable::Language::Italian && e.italian[0] != u'\0')
            return QString::fromUtf16(e.italian);
        return QString::fromUtf16(e.english);
    }
    return std::nullopt;
}

QString text(int id)
{
    if (auto t = tryText(id))
        return *t;
    throw std::out_of_range("no user-interface text " + std::to_string(id));
}

} // namespace vimra
