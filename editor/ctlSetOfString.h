#pragma once

#include "editor/SetOfStringsModel.h"

#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace vimra {

// The set-of-strings control: a list of rows, each a tick box and a line of
// text, with "Add Item" and "Delete" to the right. It paints its model and
// hands the user's edits to it. Its captions are fixed English.
class ctlSetOfString : public QWidget {
    Q_OBJECT
public:
    explicit ctlSetOfString(std::shared_ptr<SetOfStringsModel> model, QWidget* parent = nullptr);
    explicit ctlSetOfString(QWidget* parent = nullptr);

    void Init(int iCount);
    int Count() const { return m_model->Count(); }
    QString Strng(int i) const { return m_model->Strng(i); }
    void setStrng(int i, const QString& text);
    // The rows and buttons only: a disabled list still scrolls.
    bool Enabled() const { return m_model->Enabled(); }
    void SetEnabled(bool enabled);
    // Places the control by a rectangle in twips.
    void Move(const TwipsRect& r);

    const SetOfStringsModel& model() const { return *m_model; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QScrollBar* scrollBar() const { return m_scroll; }
    QCheckBox* checkBox(int i) const { return m_rows.at(i - 1).check; }
    QLineEdit* textBox(int i) const;
    // Makes the widgets follow a model that changed under them.
    void Refresh() { sync(); }

protected:
    // For a variant with its own row editors; its constructor ends with sync().
    struct Variant {};
    ctlSetOfString(std::shared_ptr<SetOfStringsModel> model, QWidget* parent, Variant);

    // The editor of row i, placed on the rows panel.
    virtual QWidget* makeRowEditor(int i, QWidget* panel);
    virtual void syncRowEditor(int i, QWidget* editor);
    void sync();

    QWidget* rowEditor(int i) const { return m_rows.at(i - 1).editor; }
    QWidget* listArea() const { return m_listArea; }
    QWidget* rowsPanel() const { return m_rowsPanel; }
    void resizeEvent(QResizeEvent* event) override;

private:
    // Puts the focus in row i, scrolled into the list's view.
    void focusRow(int i);

    struct RowWidgets {
        QCheckBox* check;
        QWidget* editor;
    };

    std::shared_ptr<SetOfStringsModel> m_model;
    QWidget* m_listArea;
    QWidget* m_rowsPanel;
    QScrollBar* m_scroll;
    QPushButton* m_add;
    QPushButton* m_delete;
    std::vector<RowWidgets> m_rows;
    bool m_bSyncing = false;
};

} // namespace vimra
