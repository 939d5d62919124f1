#pragma once

#include "document/RegistryItem.h"
#include "platform/Xml.h"
#include "records/IOManager.h"
#include "records/SEColl.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vimra {

class AVDocument;
class EditorWindow;

// One object of the document tree: one instance file held as a field
// collection, read and written through the document's store, edited in its
// own editor window. The members every document class shares live here;
// classes differ through the virtual members and the hooks below.
class DocObject : public RegistryItem {
public:
    using SubTree = std::vector<std::shared_ptr<DocObject>>;

    // `context` is the document whose registry this object joins (the
    // current document); an object made by another object gets its maker's.
    explicit DocObject(std::weak_ptr<AVDocument> context);
    ~DocObject() override;

    std::shared_ptr<AVDocument> currentDoc() const { return m_context.lock(); }
    const std::weak_ptr<AVDocument>& context() const { return m_context; }

    // Stamps the instance's root with the schema's file name.
    void setStrSchemaPath(const QString& strSchemaPath);
    std::shared_ptr<IOManager> io() const override { return m_io; }

    // Writes the identifier element without marking a change.
    void strInitGUID(const QString& strGUID);
    QString strGUID() const override;
    void setStrGUID(const QString& value) override;
    QString strTitle() const override;
    void setStrTitle(const QString& value) { setStrNamedField(strTitleElement(), value); }

    std::shared_ptr<DocObject> objParent() const { return m_parent.lock(); }
    void setObjParent(const std::shared_ptr<DocObject>& parent) { m_parent = parent; }

    bool bChanged() const override;
    void ShowForm(UiOwner* owner) override;
    // A document object names nothing unless its class says so: a class with
    // relations overrides both renaming members.
    void RenameAllRelativesGUIDs(const GUIDRenames&) override {}

    // Loads the object's own file; "" or the error text. On success the
    // object is bound to `form` and registered with the current document.
    // A relative path is taken against the current folder.
    QString strLoadXML(const QString& strGUID, const std::shared_ptr<EditorWindow>& form,
                       const std::shared_ptr<IOManager>& io);
    // Loads the object, reports it in the status bar and opens its relatives.
    QString strOpen(const QString& strGUID, const std::shared_ptr<EditorWindow>& form,
                    const std::shared_ptr<IOManager>& io);
    // Makes a new object with every field unassigned but the title and the
    // identifier, which are marked changed so that the next save writes it.
    QString strInitAsNew(const QString& strGUID, const QString& strSchemaPath, const QString& strTitle,
                         const std::shared_ptr<EditorWindow>& form, const std::shared_ptr<IOManager>& io);

    // The field collection; a new one is made by every load and initialisation.
    // Whoever takes it may write any field at any later time.
    std::shared_ptr<SEColl> secol() const
    {
        fieldsHandedOut(nullptr);
        return m_secol;
    }
    // The same list without taking a share of it, for walks over many objects.
    const SEColl* secolPeek() const
    {
        fieldsHandedOut(nullptr);
        return m_secol.get();
    }
    std::shared_ptr<EditorWindow> form() const { return m_form; }

    // True once the fields were built from a schema: only such an object is
    // ever written (false also when the settings named no schema).
    bool bFieldsRead() const { return m_secol && m_secol->Count() > 0; }
    bool bSave() override;
    // Marks the object changed, so that the next save writes its whole file.
    void MarkForWrite();
    // Unloads the editor window, then lets the user choose the assigned fields.
    void EditAttributesForm(UiOwner* owner);

    // The subtree, each child's subtree before its parent, the object last;
    // none when part of it cannot be listed.
    virtual std::optional<SubTree> colSelSubTree();
    // Removes everything below this object from the current document; the
    // caller removes the object itself. "" or the reason nothing was removed.
    QString strRemoveAllChilds();
    // True when this object names `strGUID` as its child of class `strClass`.
    virtual bool bCheckIfOwnRelative(const QString& strClass, const QString& strGUID) const { return false; }

    // The save-as hook for files that follow their object into the new
    // document folder (a Video segment's keyframe picture), named by the
    // save-as's own identifier maker. "" or the error.
    virtual QString strRelocateFiles(IOManager::GUIDMaker& maker) { return {}; }

    // What a save-as may change in this object, kept to be put back when it
    // fails: every field's value and marks, and the instance itself when
    // stamping `strSchemaPath` would change it ("": it is not stamped).
    struct SavedState {
        struct Field {
            SEColl::Record record;
            FieldValue value;
            FieldValue contents; // a copy of a list's or chunk's contents, edited in place
            bool bChanged = false;
            bool bValid = false;
        };
        std::vector<Field> fields;
        std::optional<xml::Document> instance;
        QString strGrabbed; // a segment's picture still in the temporary folder
    };
    virtual SavedState savedState(const QString& strSchemaPath = QString()) const;
    // Puts the state back; the same list and chunk objects keep their place,
    // so whoever holds one sees the old contents.
    virtual void restoreState(SavedState& state);

    // Named fields: the first field of exactly that name. A read answers ""
    // unless that field is assigned; a write marks the field changed only
    // when the value differs, and assigned in any case.
    QString strNamedField(const QString& strName) const;
    void setStrNamedField(const QString& strName, const QString& value);
    SEColl::Record firstNamed(const QString& strName) const;

    // Identifier equality as the store sees it: only in file-system mode, and
    // an empty identifier names nothing.
    bool bSameGUID(const QString& a, const QString& b) const;

protected:
    virtual QString strGUIDElement() const = 0;
    virtual QString strTitleElement() const = 0;

    // Called after the fields exist and before anything else is set
    // (the document's default themes).
    virtual void initDefaults() {}
    // Called last on a successful load or initialisation (a Storage makes
    // its media-file object here).
    virtual void afterLoad() {}
    virtual void afterInit() {}
    // strOpen's last step: children, expressions.
    virtual void openRelatives() {}

    // Gives `obj` (new, of any class) its identifier in the document folder
    // and initialises it with its editor window. A failure is shown and
    // leaves `obj` unregistered.
    bool bInitNewObject(const std::shared_ptr<DocObject>& obj, const QString& strTitle);
    // Moves the entry naming `strOldGUID` in an assigned identifier list to
    // the end under its new name; false when the list does not hold it.
    bool bRenameInList(const SEColl::Record& field, const QString& strOldGUID, const QString& strNewGUID) const;
    // The same for every rename in one pass: each takes the first entry
    // naming its old identifier that an earlier one left, and the new
    // identifiers go to the end in renaming order.
    void renameInList(const SEColl::Record& field, const GUIDRenames& renames) const;

    // The fields, for the object's own reads and writes: handing them out
    // through secol, secolPeek or firstNamed tells fieldsHandedOut.
    const std::shared_ptr<SEColl>& ownFields() const { return m_secol; }
    // Called when the field list (`field` null) or one field leaves the
    // object's own code, to be written by whoever took it.
    virtual void fieldsHandedOut(const SchemaElement* field) const {}

    xml::Document& instanceDoc() { return m_doc; }
    // A media-file object reads and writes its identifier in its owner's
    // fields (a Video's keyframe, a Storage's collocation), and no other.
    friend class MediaObject;
    void setContext(std::weak_ptr<AVDocument> context) { m_context = std::move(context); }

private:
    void bindAndRegister(const std::shared_ptr<EditorWindow>& form);
    // A new, empty field list, which fieldsMade follows once it is filled.
    void newFields();
    // After the fields were made: the identifier and title fields are looked
    // up once.
    void fieldsMade();
    // Tells the registry that the identifier may have changed.
    void guidChanged();

    xml::Document m_doc{xml::Document::Null{}}; // made by the load or initialisation
    std::shared_ptr<SEColl> m_secol;
    SEColl::Record m_guidField;
    SEColl::Record m_titleField;
    std::shared_ptr<IOManager> m_io;
    std::shared_ptr<EditorWindow> m_form;
    std::weak_ptr<DocObject> m_parent;
    std::weak_ptr<AVDocument> m_context;
};

} // namespace vimra
