#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace vimra {

class DocObject;
class SEColl;

// The window that owns a modal editor. The model never looks inside it: the
// shell passes its main window (a QWidget) and the editors cast it back.
using UiOwner = QObject;

// One editor window of one document object. Making a window loads and shows
// nothing; the window is built from the object's fields each time it is shown
// after an Unload.
class EditorWindow {
public:
    virtual ~EditorWindow() = default;

    // The property named after the class (AVDoc, Version, Media, Storage, obj).
    // Only stores the reference; the window does not keep the object alive.
    virtual void bind(const std::shared_ptr<DocObject>& obj) = 0;
    virtual std::shared_ptr<DocObject> boundObject() const = 0;

    // Shows the window modally, owned by `owner`; returns when it closes.
    virtual void Show(UiOwner* owner) = 0;
    virtual void Unload() = 0;
};

// Makes the editor windows and shows the assigned-fields dialog.
class EditorFactory {
public:
    virtual ~EditorFactory() = default;

    // A new window for an object of the class: frmAVDocForm, VersionForm,
    // MediaForm, StorageForm, or VideoForm for the three expression classes.
    // nullptr for any other class name.
    virtual std::shared_ptr<EditorWindow> create(const QString& strClass) = 0;

    // AVDocSchemaDialog.ShowDialog: the user chooses which fields of `secol`
    // are assigned (modal, owned by `owner`). The dialog keeps `secol`.
    virtual void ShowAVDocSchemaDialog(UiOwner* owner, const std::shared_ptr<SEColl>& secol) = 0;
};

// The name of the window class that edits objects of `strClass`; "" when none does.
QString strEditorFormFor(const QString& strClass);

// A window that keeps its binding and shows nothing.
class NullEditorWindow : public EditorWindow {
public:
    void bind(const std::shared_ptr<DocObject>& obj) override { m_obj = obj; }
    std::shared_ptr<DocObject> boundObject() const override { return m_obj.lock(); }
    void Show(UiOwner*) override {}
    void Unload() override {}

private:
    std::weak_ptr<DocObject> m_obj;
};

// Windows that show nothing: used by tests and until the real forms exist.
class NullEditorFactory : public EditorFactory {
public:
    std::shared_ptr<EditorWindow> create(const QString& strClass) override;
    void ShowAVDocSchemaDialog(UiOwner*, const std::shared_ptr<SEColl>&) override {}
};

// The factory in force; never null.
EditorFactory& editorFactory();
// Installs `factory` (nullptr restores the null factory). The caller keeps ownership.
void setEditorFactory(EditorFactory* factory);

} // namespace vimra
