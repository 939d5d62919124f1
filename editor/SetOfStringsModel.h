#pragma once

#include "widgets/Twips.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vimra {

// The rows, buttons and scroll bar of a set-of-strings control, without
// widgets. Geometry is in twips; the scroll bar runs from 0 down to a
// negative Max when the rows are taller than the list area.
class SetOfStringsModel {
public:
    SetOfStringsModel() = default;
    virtual ~SetOfStringsModel() = default;

    static constexpr double kRowPitch = 400;
    static constexpr double kRowHeight = 300;
    static constexpr double kCheckWidth = 255;
    static constexpr double kTextWidth = 4000;
    static constexpr double kStrip = 1500; // right-hand strip: scroll bar and buttons
    static constexpr double kScrollWidth = 255;
    static constexpr double kButtonWidth = 855;
    static constexpr double kButtonHeight = 255;
    static constexpr int kScrollStep = 400;

    // Rows start with the text of the template row.
    static QString strTemplateText() { return QStringLiteral("Text1"); }

    // Creates iCount rows; only the first call of the control's life does anything.
    void Init(int iCount);
    int Count() const { return int(m_rows.size()); }
    // Row texts, numbered from 1; "" for a row that does not exist.
    QString Strng(int i) const;
    virtual void setStrng(int i, const QString& text);
    QStringList strings() const;
    bool bTicked(int i) const;
    void setTicked(int i, bool ticked);

    // Buttons and rows; the list still scrolls when they are disabled.
    bool Enabled() const { return m_bEnabled; }
    void setEnabled(bool enabled) { m_bEnabled = enabled; }
    virtual bool bAddEnabled() const { return m_bEnabled; }

    // "Add Item": a new last row with the template text.
    virtual void AddItem();
    // "Delete": removes every ticked row, keeping the order of the rest.
    void Delete();
    // The control's new size.
    void Resize(double width, double height);

    int iScrollMax() const { return m_iScrollMax; }
    int iScrollValue() const { return m_iScrollValue; }
    bool bScrollVisible() const { return m_rowsPanel.height > m_listArea.height; }
    // The scroll bar's value changed: the rows panel follows.
    void Scrolled(int value);

    const TwipsRect& rowsPanel() const { return m_rowsPanel; }
    const TwipsRect& listArea() const { return m_listArea; }
    const TwipsRect& scrollBar() const { return m_scrollBar; }
    const TwipsRect& addButton() const { return m_addButton; }
    const TwipsRect& deleteButton() const { return m_deleteButton; }
    // Inside the rows panel.
    static TwipsRect checkRect(int i);
    static TwipsRect textRect(int i);

protected:
    // Rows made by Init start with `strInitText`.
    explicit SetOfStringsModel(QString strInitText) : m_strInitText(std::move(strInitText)) {}
    void AddRow(const QString& text);
    // Removes every row; Init stays done.
    void ClearRows();

private:
    struct Row {
        QString strText;
        bool bTicked = false;
    };

    void ArrangeRows();

    QString m_strInitText = strTemplateText();

    std::vector<Row> m_rows;
    bool m_bInitDone = false;
    bool m_bEnabled = true;
    double m_width = 0;
    int m_iScrollMax = 0;
    int m_iScrollValue = 0;
    TwipsRect m_rowsPanel;
    TwipsRect m_listArea;
    TwipsRect m_scrollBar{0, 0, kScrollWidth, 0};
    TwipsRect m_addButton{0, 0, kButtonWidth, kButtonHeight};
    TwipsRect m_deleteButton{0, 0, kButtonWidth, kButtonHeight};
};

// A scroll bar's value brought into the range between its Min and a Max
// that may lie below it.
int clampToScrollRange(int value, int min, int max);

} // namespace vimra
