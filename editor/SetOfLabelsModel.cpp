#include "editor/SetOfLabelsModel.h"

namespace vimra {

QStringList LabelList::labels() const
{
    QStringList out;
    for (const Entry& e : m_entries)
        out << e.strLabel;
    return out;
}

int LabelList::iShown(const QString& strEnglish) const
{
    for (int j = 0; j < Count(); ++j)
        if (m_entries[j].strEnglish == strEnglish)
            return j;
    return -1;
}

QString LabelList::strLocalFromEnglish(const QString& strEnglish) const
{
    const int j = iShown(strEnglish);
    return bHas(j) ? m_entries[j].strLabel : QString();
}

QString LabelList::strEnglishFromLocal(const QString& strLabel) const
{
    for (const Entry& e : m_entries)
        if (e.strLabel == strLabel)
            return e.strEnglish;
    return {};
}

QString LabelList::strPicked(const QString& strNow, int j) const
{
    if (!bHas(j))
        return {};
    if (j == iShown(strNow))
        return strNow;
    return strEnglishFromLocal(m_entries[j].strLabel);
}

void SetOfLabelsModel::AssignItems(LabelList items)
{
    ClearRows();
    m_items = std::move(items);
}

void SetOfLabelsModel::setStrng(int i, const QString& strEnglish)
{
    SetOfStringsModel::setStrng(i, m_items.iShown(strEnglish) >= 0 ? strEnglish : QString());
}

void SetOfLabelsModel::Pick(int i, int j) { SetOfStringsModel::setStrng(i, m_items.strPicked(Strng(i), j)); }

void SetOfLabelsModel::AddItem()
{
    if (bAddEnabled())
        AddRow(m_items.strEnglish(0));
}

} // namespace vimra
