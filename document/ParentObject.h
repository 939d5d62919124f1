#pragma once

#include "document/DocObject.h"
#include "records/Coll.h"
#include "records/ValueTypes.h"

namespace vimra {

// A document object with children of one class, named in order by one
// relation field of type SetOfGUIDs: the document (its Versions), a Version
// (its Media), a Media (its Storages). The link lives only in the parent's
// field; a child knows its parent through objParent in memory.
class ParentObject : public DocObject {
public:
    using DocObject::DocObject;

    Coll<std::shared_ptr<DocObject>>& colChilds() { return m_colChilds; }
    const Coll<std::shared_ptr<DocObject>>& colChilds() const { return m_colChilds; }

    // A new, unloaded object of the class whose children are of class
    // `strClass` (a Version for "Media"); none for a class without a parent.
    static std::shared_ptr<ParentObject> newParentOf(const QString& strClass, std::weak_ptr<AVDocument> context);

    // Opens (or takes from the registry) every child the relation field names.
    void OpenChilds();
    // Makes a new child with this title and links it; a failure is shown.
    void AddChild(const QString& strTitle);

    // Moves the entry of a renamed child to the end of the relation field.
    void RenameAllRelativesGUID(const QString& strOldGUID, const QString& strNewGUID) override;
    void RenameAllRelativesGUIDs(const GUIDRenames& renames) override;
    void appendRelationGUIDs(std::vector<NamedGUID>& out) const override;
    void RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj) override;
    bool bCheckIfOwnRelative(const QString& strClass, const QString& strGUID) const override;
    // Whether the object of this class stored at `strPath` may name
    // `strGUID` as its child, told from the store's index of object files
    // without loading it: false only when loading it would show no message
    // and find no such child.
    bool bMayNameChild(IOManager& io, const QString& strPath, const QString& strGUID) const;
    // True while a child is changed: the child is written first.
    bool bReferedStillToBeSaved() const override;
    std::optional<SubTree> colSelSubTree() override;

protected:
    // The relation field's name in lower case, and the children's class.
    virtual QString strRelationName() const = 0;
    virtual QString strChildClass() const = 0;
    virtual std::shared_ptr<DocObject> newChild() = 0;
    // Whether a child is opened with its own tree (strOpen) or only loaded.
    virtual bool bChildOpensTree() const { return true; }
    // Puts a child found by OpenChilds into colChilds.
    virtual void takeOpenedChild(const std::shared_ptr<DocObject>& child) { m_colChilds.Add(child); }

    void openRelatives() override { OpenChilds(); }

    // The relation field, when the schema gives it as a SetOfGUIDs field.
    SEColl::Record relationField() const;
    void addRelation(const QString& strGUID);
    // Removes the first entry naming `strGUID`, or with `bEvery` each one.
    void removeRelation(const QString& strGUID, bool bEvery = false);

    // Where an identifier stands in the assigned relation list (index 0: not there).
    struct RelationEntry {
        SEColl::Record field;
        std::shared_ptr<StringList> list;
        int index = 0;
    };
    RelationEntry findRelation(const QString& strGUID) const;

private:
    // The first field named like the relation, whatever its type.
    SEColl::Record namedRelationField() const;
    // The identifiers to open; none when there are none to open.
    std::shared_ptr<StringList> colRelationGUIDs() const;
    std::shared_ptr<DocObject> openChild(const QString& strGUID);

    Coll<std::shared_ptr<DocObject>> m_colChilds;
};

} // namespace vimra
