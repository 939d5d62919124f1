#include "document/ParentObject.h"

#include "document/AVDocument.h"
#include "document/EditorWindows.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/SchemaCache.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <vector>

namespace vimra {

SEColl::Record ParentObject::namedRelationField() const
{
    const auto secol = this->secol();
    if (!secol)
        return nullptr;
    const QString name = strRelationName();
    for (const auto& field : *secol)
        if (field->strName.toLower() == name)
            return field;
    return nullptr;
}

SEColl::Record ParentObject::relationField() const
{
    // A relation field of another type holds no identifiers: treating it as
    // a list would write a list into a field that is not one.
    const auto field = namedRelationField();
    return field && field->tyType == tySetOfGUIDs ? field : nullptr;
}

std::shared_ptr<StringList> ParentObject::colRelationGUIDs() const
{
    const auto field = namedRelationField();
    if (!field)
        return nullptr;
    if (field->tyType != tySetOfGUIDs) {
        prompts().MsgBox(text(msg::RelationsMustBeGuidSets));
        return nullptr;
    }
    return field->bValid ? valueObject<StringList>(field->vContent) : nullptr;
}

std::shared_ptr<ParentObject> ParentObject::newParentOf(const QString& strClass, std::weak_ptr<AVDocument> context)
{
    // Down the class chain from the document until a class has children of `strClass`.
    std::shared_ptr<ParentObject> obj = std::make_shared<AVDocument>(std::move(context));
    while (obj && obj->strChildClass() != strClass)
        obj = std::dynamic_pointer_cast<ParentObject>(obj->newChild());
    return obj;
}

void ParentObject::OpenChilds()
{
    const auto guids = colRelationGUIDs();
    const auto doc = currentDoc();
    if (!guids || guids->isEmpty() || !doc)
        return;
    auto self = std::static_pointer_cast<DocObject>(shared_from_this());
    // Copied: opening a child may not change this list, but a list is shared.
    const QStringList ids(guids->begin(), guids->end());
    for (const QString& id : ids) {
        std::shared_ptr<DocObject> child;
        if (const auto loaded = doc->objAlreadyLoaded(id)) {
            if (!loaded->bIsClass(strChildClass())) {
                prompts().MsgBox(strChildClass() + QStringLiteral(": ") + text(msg::ClassNameMismatch));
                continue;
            }
            child = std::dynamic_pointer_cast<DocObject>(loaded);
        } else {
            child = openChild(id);
        }
        if (!child)
            continue;
        child->setObjParent(self);
        takeOpenedChild(child);
    }
}

std::shared_ptr<DocObject> ParentObject::openChild(const QString& strGUID)
{
    auto child = newChild();
    auto form = editorFactory().create(strChildClass());
    const QString error = bChildOpensTree() ? child->strOpen(strGUID, form, io())
                                            : child->strLoadXML(strGUID, form, io());
    if (!error.isEmpty()) {
        io()->ReportOnce(strGUID, error);
        return nullptr;
    }
    return child;
}

void ParentObject::AddChild(const QString& strTitle)
{
    if (!currentDoc() || !io())
        return;
    // Without a SetOfGUIDs relation field nothing could name the child: it
    // would be written on save and never opened again.
    if (!relationField()) {
        prompts().MsgBox(text(msg::RelationsMustBeGuidSets));
        return;
    }
    auto child = newChild();
    if (!bInitNewObject(child, strTitle))
        return;
    addRelation(child->strGUID());
    m_colChilds.Add(child);
    child->setObjParent(std::static_pointer_cast<DocObject>(shared_from_this()));
}

void ParentObject::addRelation(const QString& strGUID)
{
    const auto field = relationField();
    if (!field)
        return;
    auto list = valueObject<StringList>(field->vContent);
    if (!field->bValid || !list) {
        list = std::make_shared<StringList>(Qt::CaseSensitive);
        field->vContent = list;
    }
    list->Add(strGUID);
    field->bChanged = true;
    field->bValid = true;
}

ParentObject::RelationEntry ParentObject::findRelation(const QString& strGUID) const
{
    RelationEntry entry;
    entry.field = relationField();
    if (!entry.field || !entry.field->bValid)
        return entry;
    entry.list = valueObject<StringList>(entry.field->vContent);
    if (!entry.list)
        return entry;
    for (int i = 1; i <= entry.list->Count(); ++i) {
        if (bSameGUID(entry.list->Item(i), strGUID)) {
            entry.index = i;
            break;
        }
    }
    return entry;
}

void ParentObject::removeRelation(const QString& strGUID, bool bEvery)
{
    const RelationEntry entry = findRelation(strGUID);
    if (!entry.list)
        return;
    if (entry.index > 0) {
        entry.list->Remove(entry.index);
        for (int i = entry.index; bEvery && i <= entry.list->Count();) {
            if (bSameGUID(entry.list->Item(i), strGUID))
                entry.list->Remove(i);
            else
                ++i;
        }
        entry.field->bChanged = true;
    }
    // An empty relation is no relation: the field is no longer written.
    if (entry.list->isEmpty()) {
        entry.field->vContent = std::monostate();
        entry.field->bValid = false;
    }
}

void ParentObject::RenameAllRelativesGUID(const QString& strOldGUID, const QString& strNewGUID)
{
    bRenameInList(relationField(), strOldGUID, strNewGUID);
}

void ParentObject::RenameAllRelativesGUIDs(const GUIDRenames& renames)
{
    renameInList(relationField(), renames);
}

void ParentObject::appendRelationGUIDs(std::vector<NamedGUID>& out) const
{
    const auto field = relationField();
    const auto list = field && field->bValid ? valueObject<StringList>(field->vContent) : nullptr;
    if (!list)
        return;
    const QString strClass = strChildClass();
    for (const QString& id : *list)
        out.push_back({id, strClass});
}

void ParentObject::RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj)
{
    if (!obj)
        return;
    // A child listed twice is removed from every place: an entry left behind
    // would name a file that the next save deletes.
    removeRelation(obj->strGUID(), true);
    for (int i = 1; i <= m_colChilds.Count();) {
        if (static_cast<RegistryItem*>(m_colChilds.Item(i).get()) == obj.get())
            m_colChilds.Remove(i);
        else
            ++i;
    }
}

bool ParentObject::bCheckIfOwnRelative(const QString& strClass, const QString& strGUID) const
{
    return strClass == strChildClass() && findRelation(strGUID).index > 0;
}

bool ParentObject::bMayNameChild(IOManager& io, const QString& strPath, const QString& strGUID) const
{
    // As a load reads the relation: the first field named like it, if it is
    // a SetOfGUIDs field of the schema's class, from the element of exactly
    // that name. A schema that cannot give the fields is left to the load,
    // which reports it.
    const QString strSchemaPath = strGetXSDPath();
    if (strSchemaPath.isEmpty())
        return false;
    QString error;
    const auto schema = ParsedSchema::load(strSchemaPath, error);
    if (!schema)
        return true;
    const ClassFields& fields = schema->classFields(className());
    if (!fields.error.isEmpty())
        return true;
    const auto field = std::find_if(fields.fields.begin(), fields.fields.end(), [&](const ClassFields::Field& f) {
        return f.se.strName.toLower() == strRelationName();
    });
    if (field == fields.fields.end() || field->se.tyType != tySetOfGUIDs || strGUID.isEmpty())
        return false;
    const auto info = io.objectFileInfo(strPath);
    if (!info || info->strClass != className())
        return true;
    const QString key = GUIDRenames::keyOf(strGUID);
    for (const QString& entry : info->lists.value(field->se.strName))
        if (!entry.isEmpty() && GUIDRenames::keyOf(entry) == key)
            return true;
    return false;
}

bool ParentObject::bReferedStillToBeSaved() const
{
    for (const auto& child : m_colChilds)
        if (child->bChanged())
            return true;
    return false;
}

std::optional<DocObject::SubTree> ParentObject::colSelSubTree()
{
    SubTree result;
    for (const auto& child : m_colChilds) {
        const auto sub = child->colSelSubTree();
        if (!sub)
            return std::nullopt;
        result.insert(result.end(), sub->begin(), sub->end());
    }
    result.push_back(std::static_pointer_cast<DocObject>(shared_from_this()));
    return result;
}

} // namespace vimra
