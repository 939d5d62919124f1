#pragma once

#include "editor/SetOfStringsModel.h"
#include "records/SEColl.h"
#include "widgets/Twips.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vimra {

class DocObject;

// What tells the field panes of the object classes apart.
struct PaneParams {
    QString strTitleElement; // the field whose value is the object's title
    bool bSizeByAllAssigned = false; // the canvas rule counts assigned fields of any type
    // The caption of a first tab that holds the form's own controls instead
    // of fields (the expression editor's "Video"); empty for none.
    QString strOwnTab;
};

// One shown field: what its control was filled with and what it holds now.
// Only a user's edit changes the "now" side, so OK compares each value in
// the form it was shown in.
struct PaneField {
    int iTag = 0; // position among all fields, from 1
    int tyType = tyString;
    QString strName;
    QString strComment;
    bool bReadOnly = false;

    // String, Integer, Real and closed-list fields.
    QString strShown;
    QString strText;
    // Closed-list entries: the list's own, then a stored value it lacks.
    QStringList colItems;
    // Date fields.
    QDate dtShown;
    QDate dtDate;
    // Bool fields.
    bool bShown = false;
    bool bChecked = false;
    // SetOfStrings fields.
    std::shared_ptr<SetOfStringsModel> set;

    // Whether the control holds another value than it was shown with
    // (SetOfStrings fields compare with the field itself).
    bool bDiffers() const;
    // The value OK writes.
    FieldValue vValue() const;
};

// The value of a Bool field as a boolean (true, 1, "true", "True").
bool bBoolOf(const FieldValue& v);

// The dates a date picker holds.
QDate minPickerDate();
QDate maxPickerDate();

// The rules of the schema-driven field pane without widgets: tabs of ten
// fields, where each field and the canvas lie, the scroll bar with its
// per-tab memory, the wheel, and the commit on OK. Geometry is in twips.
// The model outlives the window it describes: the scroll memory survives
// Unload and the next Show.
class PaneModel {
public:
    static constexpr double kScrollWidth = 255;
    static constexpr double kHScrollHeight = 255;
    static constexpr double kButtonWidth = 1215;
    static constexpr double kButtonHeight = 375;
    static constexpr double kComboHeight = 315;
    static constexpr int kWheelStep = 650;
    static constexpr int kFieldsPerTab = 10;
    // The canvas of a new window holds six rows: every field of a form whose
    // canvas the size rule leaves alone stays within reach.
    static constexpr double kInitialWidth = 7800;
    static constexpr double kInitialHeight = 9150;

    explicit PaneModel(PaneParams params) : m_params(std::move(params)) {}

    // How many times the size rule moves the canvas to one tab's height;
    // iCount is the shown-field count, or the Storage's assigned fields.
    int iFrameMoves(int iCount) const;

    // Builds tabs and fields from the current records into a window of the
    // given inner size, then shows tab 1.
    void Build(const SEColl& secol, const CloseListRegistry* closeLists, int iFrameMoves, double scaleWidth,
               double scaleHeight);

    const std::vector<PaneField>& fields() const { return m_fields; }
    std::vector<PaneField>& fields() { return m_fields; }
    int iTabCount() const { return m_iTabCount; }
    // Field tabs are counted from 1 after the form's own tab; keys count every tab.
    QString strTabCaption(int t) const;
    static QString strTabKey(int t) { return QStringLiteral("Set ") + QString::number(t); }
    bool bOwnTab() const { return !m_params.strOwnTab.isEmpty(); }

    // Geometry of position p (1-based) on its tab.
    static int iTabOf(int p) { return (p - 1) / kFieldsPerTab + 1; }
    static TwipsRect frameRect(int p);
    static TwipsRect controlRect(int p, int tyType);

    // The window's new inner size; false when the layout was skipped.
    bool Layout(double scaleWidth, double scaleHeight);

    const TwipsRect& canvas() const { return m_canvas; }
    const TwipsRect& viewport() const { return m_viewport; }
    const TwipsRect& vScroll() const { return m_vScroll; }
    const TwipsRect& tabStrip() const { return m_tabStrip; }
    TwipsRect okButton() const { return {m_scaleWidth / 2 - kButtonWidth - 120, m_okTop, kButtonWidth, kButtonHeight}; }
    TwipsRect cancelButton() const { return {m_scaleWidth / 2 + 120, m_cancelTop, kButtonWidth, kButtonHeight}; }

    // The tab strip's selection; the fields of the other tabs are hidden.
    void SelectTab(int t);
    int iSelectedTab() const { return m_iSelectedTab; }
    bool bShown(int p) const { return iTabOf(p) + int(bOwnTab()) == m_iSelectedTab; }

    int iScrollMin() const { return 0; }
    int iScrollMax() const { return m_iScrollMax; }
    int iScrollValue() const { return m_iScrollValue; }
    bool bScrollVisible() const { return m_viewport.height < m_canvas.height; }
    // The scroll bar's value changed: the tab remembers it, the canvas follows.
    void Scrolled(int value);
    // A wheel turn: one step per turn, toward the end of the range; nothing
    // on the form's own tab.
    void Wheel(double rotation);
    // Scrolls the least that shows the frame of position p (keyboard focus).
    void ScrollIntoView(int p);

    // Writes the edited values back into `secol`, the records of `obj`, and
    // retitles the object's tree nodes when its title field changed.
    void Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) const;

private:
    void addField(const SchemaElement& el, int k, const CloseListRegistry* closeLists);
    void restoreScroll();

    PaneParams m_params;
    std::vector<PaneField> m_fields;
    int m_iTabCount = 1;
    int m_iSelectedTab = 1;
    std::map<int, int> m_iTabScroll;

    double m_scaleWidth = kInitialWidth;
    TwipsRect m_canvas;
    TwipsRect m_viewport;
    TwipsRect m_vScroll{0, 0, kScrollWidth, 0};
    TwipsRect m_tabStrip;
    double m_okTop = 0;
    double m_cancelTop = 0;
    int m_iScrollMax = 0;
    int m_iScrollValue = 0;
};

} // namespace vimra
