#pragma once

#include <QString>

#include <optional>

namespace vimra {

// The user-interface texts, by number, in English and Italian.
class StringTable {
public:
    enum class Language { English, Italian };

    // The language of the system locale unless a test (or the shell) set one.
    static Language language();
    static void setLanguage(Language language);
    static void resetLanguage(); // back to the system locale
};

// The text of message `id` in the current language; throws std::out_of_range
// for an id the table does not hold (never answers an empty text for it).
QString text(int id);
std::optional<QString> tryText(int id);

} // namespace vimra
