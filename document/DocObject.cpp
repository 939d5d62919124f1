#include "document/DocObject.h"

#include "document/AVDocument.h"
#include "document/DocumentUi.h"
#include "document/EditorWindows.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/InstanceXml.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <unordered_set>

namespace vimra {

DocObject::DocObject(std::weak_ptr<AVDocument> context) : m_context(std::move(context)) {}

DocObject::~DocObject() = default;

void DocObject::setStrSchemaPath(const QString& strSchemaPath)
{
    SetSchemaLocation(m_doc, strSchemaPath);
}

DocObject::SavedState DocObject::savedState(const QString& strSchemaPath) const
{
    SavedState state;
    if (m_secol) {
        state.fields.reserve(static_cast<size_t>(m_secol->Count()));
        for (const auto& field : *m_secol) {
            SavedState::Field& saved = state.fields.emplace_back();
            saved.record = field;
            saved.value = field->vContent;
            if (const auto list = valueObject<StringList>(field->vContent))
                saved.contents = std::make_shared<StringList>(*list);
            else if (const auto chunk = valueObject<Chunk>(field->vContent))
                saved.contents = std::make_shared<Chunk>(*chunk);
            saved.bChanged = field->bChanged;
            saved.bValid = field->bValid;
        }
    }
    if (!strSchemaPath.isEmpty() && !bHasSchemaLocation(m_doc, strSchemaPath))
        state.instance = m_doc.clone();
    return state;
}

void DocObject::restoreState(SavedState& state)
{
    for (auto& saved : state.fields) {
        SchemaElement& field = *saved.record;
        field.vContent = saved.value;
        if (const auto list = valueObject<StringList>(saved.value))
            *list = *valueObject<StringList>(saved.contents);
        else if (const auto chunk = valueObject<Chunk>(saved.value))
            *chunk = *valueObject<Chunk>(saved.contents);
        field.bChanged = saved.bChanged;
        field.bValid = saved.bValid;
    }
    if (state.instance)
        m_doc = std::move(*state.instance);
    guidChanged();
}

void DocObject::strInitGUID(const QString& strGUID)
{
    if (m_guidField) {
        m_guidField->vContent = strGUID;
        m_guidField->bChanged = false;
        m_guidField->bValid = true;
        guidChanged();
    }
}

namespace {

// A named field's text: "" unless the field is assigned.
QString fieldText(const SEColl::Record& field)
{
    return field && field->bValid ? valueToText(field->vContent) : QString();
}

} // namespace

QString DocObject::strGUID() const
{
    return fieldText(m_guidField);
}

QString DocObject::strTitle() const
{
    return fieldText(m_titleField);
}

void DocObject::setStrGUID(const QString& value)
{
    setStrNamedField(strGUIDElement(), value);
    guidChanged();
}

void DocObject::newFields()
{
    m_secol = std::make_shared<SEColl>();
    m_titleField = nullptr;
}

void DocObject::fieldsMade()
{
    m_guidField = m_secol ? m_secol->find(strGUIDElement()) : nullptr;
    m_titleField = m_secol ? m_secol->find(strTitleElement()) : nullptr;
}

void DocObject::guidChanged()
{
    if (const auto doc = currentDoc())
        doc->collObjects().rekey(this);
}

bool DocObject::bChanged() const
{
    return m_secol && m_secol->bChanged();
}

void DocObject::ShowForm(UiOwner* owner)
{
    // The window writes the fields it shows.
    fieldsHandedOut(nullptr);
    if (m_form)
        m_form->Show(owner);
}

QString DocObject::strLoadXML(const QString& strPath, const std::shared_ptr<EditorWindow>& form,
                              const std::shared_ptr<IOManager>& io)
{
    // Identifiers are absolute: a relative path would name another file once
    // the current folder changes, and would not compare equal to the same
    // file named by a relation.
    const QString strGUID = strPath.isEmpty() ? strPath : strAbsolutePath(strPath);
    m_io = io;
    newFields();
    const auto doc = currentDoc();
    // A relation naming a file elsewhere, by its path, "../" or a link, opens
    // nothing: what the object held would be written, moved or deleted there.
    if (doc && doc.get() != this && m_io->bFileSystem() && !strGUID.isEmpty() && !doc->bInsideFolder(strGUID))
        return strGUID + QLatin1Char(' ') + text(msg::OutsideDocumentFolder);
    CloseListRegistry scratch;
    const QString error = m_secol->strLoad(m_doc, strGUID, *m_io, className(),
                                           doc ? doc->collCloseListTypes() : scratch);
    fieldsMade();
    // The registry hears of the new identifier once, whichever way the load ends.
    if (!error.isEmpty()) {
        guidChanged();
        return error;
    }
    // With no schema named in the settings the fields are never read: the
    // object would show nothing and its next save would empty its file.
    if (!bFieldsRead()) {
        guidChanged();
        return text(msg::SchemaNotFound);
    }
    // The file may name another path (it was copied or moved); the path it
    // was opened by is its identity.
    if (m_io->bFileSystem() && m_guidField)
        strInitGUID(strGUID);
    else
        guidChanged();
    bindAndRegister(form);
    afterLoad();
    return {};
}

QString DocObject::strOpen(const QString& strGUID, const std::shared_ptr<EditorWindow>& form,
                           const std::shared_ptr<IOManager>& io)
{
    const QString error = strLoadXML(strGUID, form, io);
    if (!error.isEmpty())
        return error;
    const auto doc = currentDoc();
    const int count = doc ? doc->collObjects().Count() : 0;
    showObjectProgress(msg::OpeningObject, count, strTitle());
    openRelatives();
    return {};
}

QString DocObject::strInitAsNew(const QString& strGUID, const QString& strSchemaPath, const QString& strTitle,
                                const std::shared_ptr<EditorWindow>& form,
                                const std::shared_ptr<IOManager>& io)
{
    newFields();
    m_io = io;
    CloseListRegistry scratch;
    const auto doc = currentDoc();
    const QString error = m_secol->strInitAsNew(m_doc, strSchemaPath, className(),
                                                doc ? doc->collCloseListTypes() : scratch);
    fieldsMade();
    guidChanged();
    if (!error.isEmpty())
        return error;
    initDefaults();
    setStrTitle(strTitle);
    bindAndRegister(form);
    // Last, so that the identifier is marked changed and the first save
    // writes the file.
    setStrGUID(strGUID);
    afterInit();
    return {};
}

void DocObject::bindAndRegister(const std::shared_ptr<EditorWindow>& form)
{
    auto self = std::static_pointer_cast<DocObject>(shared_from_this());
    m_form = form;
    if (m_form)
        m_form->bind(self);
    if (auto doc = currentDoc())
        doc->collObjects().Add(self);
}

bool DocObject::bSave()
{
    // Writing fields that were never read would empty the file.
    if (!bFieldsRead())
        return false;
    // A save asks every object: one left unchanged answers at once.
    if (!m_secol->bChanged())
        return true;
    // Without a store changes cannot be written; answering true would leave
    // the object changed and the save passes waiting on it for ever.
    if (!m_io)
        return false;
    return m_secol->bSave(m_doc, strGUID(), *m_io);
}

void DocObject::MarkForWrite()
{
    // Every write puts every assigned field into the file: one mark is enough.
    if (m_guidField)
        m_guidField->bChanged = true;
    else if (m_secol && m_secol->Count() > 0)
        m_secol->Item(1)->bChanged = true;
}

void DocObject::EditAttributesForm(UiOwner* owner)
{
    // The window is built afresh from the fields at its next showing.
    if (m_form)
        m_form->Unload();
    if (m_secol) {
        fieldsHandedOut(nullptr);
        editorFactory().ShowAVDocSchemaDialog(owner, m_secol);
    }
}

std::optional<DocObject::SubTree> DocObject::colSelSubTree()
{
    return SubTree{std::static_pointer_cast<DocObject>(shared_from_this())};
}

QString DocObject::strRemoveAllChilds()
{
    const auto subTree = colSelSubTree();
    if (!subTree)
        return strTitle() + QStringLiteral(" :open whole document first!");
    const auto doc = currentDoc();
    if (!doc)
        return {};
    // An object named twice in the subtree (a child listed twice) is removed once.
    std::unordered_set<const DocObject*> removed;
    for (const auto& obj : *subTree) {
        if (obj.get() == this || !removed.insert(obj.get()).second)
            continue;
        std::shared_ptr<RegistryItem> item = obj;
        doc->RemoveObject(item);
    }
    return {};
}

SEColl::Record DocObject::firstNamed(const QString& strName) const
{
    auto field = m_secol ? m_secol->find(strName) : nullptr;
    if (field)
        fieldsHandedOut(field.get());
    return field;
}

QString DocObject::strNamedField(const QString& strName) const
{
    return fieldText(m_secol ? m_secol->find(strName) : nullptr);
}

void DocObject::setStrNamedField(const QString& strName, const QString& value)
{
    const auto field = firstNamed(strName);
    if (!field)
        return;
    // An empty field reads as "": writing "" into it changes nothing but the
    // assigned mark, yet the field then holds the text like any assigned one.
    if (valueToText(field->vContent) != value) {
        field->vContent = value;
        field->bChanged = true;
    } else if (isEmptyValue(field->vContent)) {
        field->vContent = value;
    }
    field->bValid = true;
}

bool DocObject::bInitNewObject(const std::shared_ptr<DocObject>& obj, const QString& strTitle)
{
    const auto doc = currentDoc();
    if (!doc || !m_io)
        return false;
    auto form = editorFactory().create(obj->className());
    const auto guid = doc->newGUID(*m_io, obj->className());
    // A folder that cannot be made gives its message instead of an identifier.
    QString error = guid.strError;
    if (error.isEmpty())
        error = obj->strInitAsNew(guid.strGUID, strGetXSDPath(), strTitle, form, m_io);
    if (!error.isEmpty()) {
        prompts().MsgBox(error);
        return false;
    }
    return true;
}

bool DocObject::bRenameInList(const SEColl::Record& field, const QString& strOldGUID, const QString& strNewGUID) const
{
    const auto list = field && field->bValid ? valueObject<StringList>(field->vContent) : nullptr;
    if (!list)
        return false;
    for (int i = 1; i <= list->Count(); ++i) {
        if (bSameGUID(list->Item(i), strOldGUID)) {
            list->Remove(i);
            list->Add(strNewGUID);
            field->bChanged = true;
            return true;
        }
    }
    return false;
}

void DocObject::renameInList(const SEColl::Record& field, const GUIDRenames& renames) const
{
    const auto list = field && field->bValid ? valueObject<StringList>(field->vContent) : nullptr;
    if (!list || !m_io || !m_io->bFileSystem())
        return;
    // Each rename takes the first entry naming its old identifier that an
    // earlier rename left, and its new one goes to the end, in renaming order.
    std::vector<std::pair<int, int>> matched; // entry position, rename
    QHash<QString, size_t> taken;             // renames used, by old identifier
    for (int i = 1; i <= list->Count(); ++i) {
        const QString key = GUIDRenames::keyOf(list->Item(i));
        const auto it = renames.byOld.constFind(key);
        if (key.isEmpty() || it == renames.byOld.constEnd())
            continue;
        size_t& used = taken[key];
        if (used < it->size())
            matched.emplace_back(i, (*it)[used++]);
    }
    if (matched.empty())
        return;
    for (auto it = matched.rbegin(); it != matched.rend(); ++it)
        list->Remove(it->first);
    std::vector<int> order;
    for (const auto& m : matched)
        order.push_back(m.second);
    std::sort(order.begin(), order.end());
    for (const int k : order)
        list->Add(renames.pairs[static_cast<size_t>(k)].second);
    field->bChanged = true;
}

bool DocObject::bSameGUID(const QString& a, const QString& b) const
{
    if (a.isEmpty() || b.isEmpty() || !m_io || !m_io->bFileSystem())
        return false;
    return IOManager::bGUIDComp(a, b);
}

} // namespace vimra
