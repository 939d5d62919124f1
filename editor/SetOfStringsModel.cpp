#include "editor/SetOfStringsModel.h"

#include <algorithm>
#include <cmath>

namespace vimra {

int clampToScrollRange(int value, int min, int max)
{
    return std::clamp(value, std::min(min, max), std::max(min, max));
}

void SetOfStringsModel::Init(int iCount)
{
    if (m_bInitDone)
        return;
    m_bInitDone = true;
    m_rows.resize(std::max(iCount, 0), Row{m_strInitText});
    ArrangeRows();
}

QString SetOfStringsModel::Strng(int i) const
{
    return i >= 1 && i <= Count() ? m_rows[i - 1].strText : QString();
}

void SetOfStringsModel::setStrng(int i, const QString& text)
{
    if (i >= 1 && i <= Count())
        m_rows[i - 1].strText = text;
}

QStringList SetOfStringsModel::strings() const
{
    QStringList out;
    for (const Row& r : m_rows)
        out << r.strText;
    return out;
}

bool SetOfStringsModel::bTicked(int i) const { return i >= 1 && i <= Count() && m_rows[i - 1].bTicked; }

void SetOfStringsModel::setTicked(int i, bool ticked)
{
    if (i >= 1 && i <= Count())
        m_rows[i - 1].bTicked = ticked;
}

void SetOfStringsModel::AddItem() { AddRow(strTemplateText()); }

void SetOfStringsModel::AddRow(const QString& text)
{
    m_rows.push_back(Row{text});
    ArrangeRows();
}

void SetOfStringsModel::ClearRows()
{
    m_rows.clear();
    ArrangeRows();
}

void SetOfStringsModel::Delete()
{
    std::erase_if(m_rows, [](const Row& r) { return r.bTicked; });
    ArrangeRows();
}

void SetOfStringsModel::Resize(double width, double height)
{
    m_width = width;
    m_scrollBar = {width - kStrip, 0, kScrollWidth, height};
    ArrangeRows();
    m_listArea = {0, 0, width - kStrip + 15, height};
    m_addButton.top = height / 4 - kButtonHeight / 2;
    m_addButton.left = width - (kButtonWidth + kStrip) / 2 + kScrollWidth / 2;
    m_deleteButton.top = 3 * height / 4 - kButtonHeight / 2;
    m_deleteButton.left = width - (kButtonWidth + kStrip) / 2 + kScrollWidth / 2;
}

void SetOfStringsModel::ArrangeRows()
{
    m_rowsPanel = {100, 100, m_width - kStrip - 100, Count() * kRowPitch};
    m_iScrollMax = int(std::nearbyint(m_listArea.height - m_rowsPanel.height));
    // A value outside the new range is brought into it, and that is a change.
    const int value = clampToScrollRange(m_iScrollValue, 0, m_iScrollMax);
    if (value != m_iScrollValue)
        Scrolled(value);
}

void SetOfStringsModel::Scrolled(int value)
{
    m_iScrollValue = clampToScrollRange(value, 0, m_iScrollMax);
    m_rowsPanel.top = m_iScrollValue;
}

TwipsRect SetOfStringsModel::checkRect(int i) { return {0, (i - 1) * kRowPitch, kCheckWidth, kRowHeight}; }

TwipsRect SetOfStringsModel::textRect(int i) { return {kCheckWidth, (i - 1) * kRowPitch, kTextWidth, kRowHeight}; }

} // namespace vimra
