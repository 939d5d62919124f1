#pragma once

#include "editor/SetOfStringsModel.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vimra {

// A snapshot of vocabulary entries in one language: each entry's English name
// and its label. Entries are numbered from 0, in vocabulary order; every
// translation compares whole strings and takes the first match.
class LabelList {
public:
    LabelList() = default;
    // `items` is a collection of vocabulary entries (themes, subthemes or keywords).
    template <typename Items>
    LabelList(const Items& items, int iLang)
    {
        for (const auto& item : items)
            m_entries.push_back({item->strEnglish(), item->strLocalLang(iLang)});
    }

    int Count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    QString strEnglish(int j) const { return bHas(j) ? m_entries[j].strEnglish : QString(); }
    QStringList labels() const;

    // The entry an English name shows as; -1 when none has it.
    int iShown(const QString& strEnglish) const;
    QString strLocalFromEnglish(const QString& strEnglish) const;
    QString strEnglishFromLocal(const QString& strLabel) const;
    // The English value after the user picks entry j where `strNow` was
    // shown. Picking the shown entry keeps its value, so a stored name that
    // shares its label with an earlier entry survives; any other pick is the
    // first entry with the picked label.
    QString strPicked(const QString& strNow, int j) const;

private:
    struct Entry {
        QString strEnglish;
        QString strLabel;
    };

    bool bHas(int j) const { return j >= 0 && j < Count(); }

    std::vector<Entry> m_entries;
};

// The rows of a cross-language set-of-strings control: the row model of the
// plain control, where each row holds the English name of the entry it shows
// ("" when it shows none).
class SetOfLabelsModel : public SetOfStringsModel {
public:
    SetOfLabelsModel() : SetOfStringsModel(QString()) {}

    // Removes every row and offers `items` from now on. Init stays done, so
    // only Add Item makes rows after it.
    void AssignItems(LabelList items);
    const LabelList& items() const { return m_items; }

    // Row i shows the entry of this English name, or none when no entry has it.
    void setStrng(int i, const QString& strEnglish) override;
    // The entry row i shows; -1 for none.
    int iShown(int i) const { return m_items.iShown(Strng(i)); }
    // The user picked entry j on row i.
    void Pick(int i, int j);

    // An empty list has no label to add: a row with none would store "".
    bool bAddEnabled() const override { return Enabled() && !m_items.isEmpty(); }
    // A new row shows the first entry.
    void AddItem() override;

private:
    LabelList m_items;
};

} // namespace vimra
