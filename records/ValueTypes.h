#pragma once

#include "records/Coll.h"

#include <QDate>
#include <QString>

#include <memory>
#include <variant>

namespace vimra {

// An ordered list of texts (SetOfStrings, SetOfGUIDs, closed-list values).
using StringList = Coll<QString>;

// A timed media chunk: the value of ChunkTime fields ("Time", "Duration", "Keyframe").
struct Chunk {
    double dStart = 0.0;
    double dend = 0.0;
    QString strFile;
};

// One timed word of a transcript word list.
struct WordItem {
    QString strStart;
    QString strEnd;
    double dStart = 0.0;
    double dend = 0.0;
    QString strTxt;
};

class WordColl {
public:
    // Appends a new word, under sKey when it is not empty. Answers nullptr when
    // the key is already taken (keys compare without case).
    std::shared_ptr<WordItem> Add(const QString& strStart, const QString& strEnd, double dStart,
                                  double dend, const QString& strTxt, const QString& sKey = QString());
    std::shared_ptr<WordItem> Item(int index) const { return m_col.Item(index); }
    std::shared_ptr<WordItem> Item(const QString& sKey) const { return m_col.Item(sKey); }
    int Count() const { return m_col.Count(); }
    void Remove(int index) { m_col.Remove(index); }
    void Remove(const QString& sKey) { m_col.Remove(sKey); }
    auto begin() const { return m_col.begin(); }
    auto end() const { return m_col.end(); }

private:
    Coll<std::shared_ptr<WordItem>> m_col;
};

// An enumeration type of the schema; one per type name per open document.
struct CloseList {
    QString strCLName;
    std::shared_ptr<StringList> colItems = std::make_shared<StringList>();
};

// The document's registry of closed lists, keyed by the exact type name.
class CloseListRegistry : public Coll<std::shared_ptr<CloseList>> {
public:
    CloseListRegistry() : Coll(Qt::CaseSensitive) {}
};

// A field value. Lists, chunks and word lists are shared objects: whoever reads
// them edits the field's own value in place.
using FieldValue = std::variant<std::monostate, QString, int, double, QDate, bool,
                                std::shared_ptr<StringList>, std::shared_ptr<Chunk>,
                                std::shared_ptr<WordColl>>;

inline bool isEmptyValue(const FieldValue& v) { return std::holds_alternative<std::monostate>(v); }

// The value as the platform's text conversion gives it: "" for empty,
// "True"/"False", numbers in the invariant form, dates as yyyy-MM-dd;
// object values (lists, chunks, word lists) give "".
QString valueToText(const FieldValue& v);

// A real number as text, locale-independent: 15 significant digits, or more
// when 15 would not read back to the same value.
QString strReal(double d);

template <typename T>
std::shared_ptr<T> valueObject(const FieldValue& v)
{
    if (auto p = std::get_if<std::shared_ptr<T>>(&v))
        return *p;
    return nullptr;
}

} // namespace vimra
