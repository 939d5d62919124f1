#pragma once

#include "document/EditorWindows.h"
#include "editor/PaneModel.h"

#include <QDialog>

#include <memory>
#include <vector>

class QAbstractButton;
class QScrollBar;
class QTabBar;

namespace vimra {

// The closed lists of the current document; nullptr without one.
const CloseListRegistry* currentCloseLists();

// What a form adds to the plain pane: its own controls for some fields and
// its own commit. References to those controls end with the window.
class PaneDialog;

class PaneExtension {
public:
    virtual ~PaneExtension() = default;
    // The model has built its fields from the object.
    virtual void Built(PaneModel& model) = 0;
    // The control of a field the form edits itself; nullptr for the ordinary one.
    virtual QWidget* makeControl(PaneField& field, QWidget* canvas) = 0;
    // OK: writes every field back.
    virtual void Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) = 0;
    virtual void Closed() = 0;
    // The window is built and about to be shown.
    virtual void Opened(PaneDialog& window) {}
    // The pane has laid itself out for a new size.
    virtual void LaidOut(const PaneModel& model) {}
    // Tab t is now shown (also when the window opens).
    virtual void TabShown(int t) {}
};

// The window of a field pane: tabs over a scrolled canvas of framed field
// controls, OK and Cancel. It paints its model and forwards events to it;
// the model is the form object's and outlives the window.
class PaneDialog : public QDialog {
    Q_OBJECT
public:
    PaneDialog(PaneModel& model, std::shared_ptr<DocObject> obj, QWidget* parent,
               PaneExtension* extension = nullptr);
    ~PaneDialog() override;

    QTabBar* tabBar() const { return m_tabs; }
    QScrollBar* scrollBar() const { return m_vScroll; }
    QWidget* canvas() const { return m_canvas; }
    // The controls and frames, by position.
    QWidget* control(int p) const { return m_controls.at(p - 1); }
    QWidget* frame(int p) const { return m_frames.at(p - 1); }
    QAbstractButton* okButton() const { return m_ok; }
    QAbstractButton* cancelButton() const { return m_cancel; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OKButt_Click();
    void fieldFocused(QWidget* now, Qt::FocusReason reason);
    // Makes the widgets follow the model.
    void syncGeometry();
    void syncTab();

    PaneModel& m_model;
    std::shared_ptr<DocObject> m_obj;
    PaneExtension* m_extension;
    QTabBar* m_tabs;
    QWidget* m_viewport;
    QWidget* m_canvas;
    QScrollBar* m_vScroll;
    QAbstractButton* m_ok;
    QAbstractButton* m_cancel;
    std::vector<QWidget*> m_frames;
    std::vector<QWidget*> m_controls;
    bool m_bSyncing = false;
};

// The form object of a field pane (StorageForm, MediaForm, VersionForm,
// frmAVDocForm). Making, binding and unloading it makes no widget; each
// Show builds the window from the object's current fields.
class PaneForm : public EditorWindow {
public:
    explicit PaneForm(PaneParams params) : m_model(std::move(params)) {}

    void bind(const std::shared_ptr<DocObject>& obj) override { m_obj = obj; }
    std::shared_ptr<DocObject> boundObject() const override { return m_obj.lock(); }
    void Show(UiOwner* owner) override;
    void Unload() override;

    // The open window while Show runs, else nullptr.
    PaneDialog* window() const { return m_window; }

protected:
    PaneModel& model() { return m_model; }
    // Shows the window with what `extension` adds to it (nullptr: nothing).
    void ShowWith(UiOwner* owner, PaneExtension* extension);

private:
    std::weak_ptr<DocObject> m_obj;
    PaneModel m_model;
    PaneDialog* m_window = nullptr;
};

} // namespace vimra
