#include "records/SEColl.h"

#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/InstanceXml.h"
#include "records/SchemaCache.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <exception>
#include <map>
#include <new>

namespace vimra {

namespace {

// An empty value never matches; an empty needle matches any other value.
bool bMatchText(const QString& value, const QString& strText, bool bMatchCase)
{
    if (value.isEmpty())
        return false;
    if (strText.isEmpty())
        return true;
    if (bMatchCase)
        return value.contains(strText, Qt::CaseSensitive);
    return value.toLower().contains(strText.toLower(), Qt::CaseSensitive);
}

} // namespace

SEColl::Record SEColl::Add(int tyType, const QString& strCloseList, const QString& strName,
                           const FieldValue& vContent, const QString& strComment, bool bIgnore, bool bReadOnly,
                           bool bChanged, bool bValid, const QString& sKey)
{
    auto se = std::make_shared<SchemaElement>();
    se->tyType = tyType;
    se->strCloseList = strCloseList;
    se->strName = strName;
    se->vContent = vContent;
    se->strComment = strComment;
    se->bIgnore = bIgnore;
    se->bReadOnly = bReadOnly;
    se->bChanged = bChanged;
    se->bValid = bValid;
    if (!m_col.Add(se, sKey))
        return nullptr;
    adopt(se);
    return se;
}

SEColl::Record SEColl::find(const QString& name) const
{
    for (const Record& se : m_col)
        if (se->strName == name)
            return se;
    return nullptr;
}

int SEColl::iNumValid() const
{
    int n = 0;
    for (const Record& se : m_col)
        if (se->bValid)
            ++n;
    return n;
}

int SEColl::iNumValidAndReadable() const
{
    int n = 0;
    for (const Record& se : m_col)
        if (se->bValid && se->bIsHumanReadable())
            ++n;
    return n;
}

QString SEColl::strLoad(xml::Document& doc, const QString& strGUID, IOManager& io, const QString& strClass,
                        CloseListRegistry& closeLists)
{
    // An object whose text cannot be held fails whole, never opens with a field missing.
    try {
        return strLoadFields(doc, strGUID, io, strClass, closeLists);
    } catch (const std::bad_alloc&) {
        return strFailedOn(QString(), strGUID, text(msg::NoMemoryForFile));
    }
}

QString SEColl::strLoadFields(xml::Document& doc, const QString& strGUID, IOManager& io, const QString& strClass,
                              CloseListRegistry& closeLists)
{
    IOManager::PreparedFields prepared;
    QString err = io.strOpen(doc, strGUID, &prepared);
    if (!err.isEmpty())
        return err;
    const QString path = strGetXSDPath();
    if (path.isEmpty())
        return {};
    std::shared_ptr<const ParsedSchema> schema;
    err = strLoadSchema(path, schema);
    if (!err.isEmpty())
        return err;
    if (prepared.fields && prepared.schema == schema && prepared.strClass == strClass)
        return strAppendClass(schema->classFields(strClass), closeLists, prepared.fields.get());
    err = strAppendClass(schema->classFields(strClass), closeLists);
    if (!err.isEmpty())
        return text(msg::SchemaLoadError) + err;
    return strReadInstance(*this, doc, strClass);
}

namespace {

// The class's fields with texts of this thread's own. The reading threads
// copy them into every object they read: copies of one text shared by all
// threads would have each thread wait for the others on the text's count.
const ClassFields& threadOwnFields(const std::shared_ptr<const ParsedSchema>& schema, const QString& strClass)
{
    struct Own {
        std::shared_ptr<const ParsedSchema> schema; // held: its address names no other schema meanwhile
        std::map<QString, ClassFields> classes;
    };
    thread_local Own own;
    if (own.schema != schema) {
        own.schema = schema;
        own.classes.clear();
    }
    auto it = own.classes.find(strClass);
    if (it == own.classes.end()) {
        ClassFields copy = schema->classFields(strClass);
        for (ClassFields::Field& field : copy.fields)
            for (QString* text : {&field.se.strCloseList, &field.se.strName, &field.se.strComment, &field.strListType})
                if (!text->isEmpty())
                    *text = QString(text->constData(), text->size());
        it = own.classes.emplace(strClass, std::move(copy)).first;
    }
    return it->second;
}

} // namespace

std::shared_ptr<SEColl> SEColl::prepared(const xml::Document& doc, const std::shared_ptr<const ParsedSchema>& schema,
                                         const QString& strClass)
{
    const ClassFields& classFields = threadOwnFields(schema, strClass);
    if (!classFields.error.isEmpty())
        return nullptr;
    auto fields = std::make_shared<SEColl>();
    fields->m_col.reserve(static_cast<int>(classFields.fields.size()));
    fields->AppendBlank(classFields);
    if (!strReadInstance(*fields, doc, strClass).isEmpty())
        return nullptr;
    return fields;
}

QString SEColl::strInitAsNew(xml::Document& doc, const QString& strSchemaPath, const QString& rootName,
                             CloseListRegistry& closeLists)
{
    doc = xml::Document();
    doc.createRoot(rootName);
    std::shared_ptr<const ParsedSchema> schema;
    const QString err = strLoadSchema(strSchemaPath, schema);
    if (!err.isEmpty())
        return err;
    SetSchemaLocation(doc, strSchemaPath);
    return strAppendClass(schema->classFields(rootName), closeLists);
}

bool SEColl::bSave(xml::Document& doc, const QString& strGUID, IOManager& io)
{
    if (!bChanged())
        return true;
    return bWriteAndStore(doc, strGUID, io);
}

bool SEColl::bSaveAs(xml::Document& doc, const QString& strGUID, IOManager& io)
{
    return bWriteAndStore(doc, strGUID, io);
}

// Any failure, whether a field that cannot be written or the store's, is shown
// here and keeps every change flag, so a failed save never loses an edit.
bool SEColl::bWriteAndStore(xml::Document& doc, const QString& strGUID, IOManager& io)
{
    QString err;
    try {
        err = WriteInstance(*this, doc);
        if (err.isEmpty())
            err = io.strSave(doc, strGUID);
    } catch (const std::exception& e) {
        err = QString::fromUtf8(e.what());
    }
    if (!err.isEmpty()) {
        prompts().MsgBox(strFailedOn(text(msg::FileNotWritten), strGUID, err), Prompts::OKOnly);
        return false;
    }
    for (const Record& se : m_col)
        se->bChanged = false;
    return true;
}

int SEColl::iChildElements(const xml::Node& node)
{
    return static_cast<int>(node.childElements().size());
}

int SEColl::iSearchText(const QString& strText, bool bMatchCase) const
{
    int n = 0;
    for (const Record& se : m_col) {
        if (!se->bValid)
            continue;
        switch (se->tyType) {
        case tyString:
            if (bMatchText(valueToText(se->vContent), strText, bMatchCase))
                ++n;
            break;
        case tySetOfStrings:
            if (auto list = valueObject<StringList>(se->vContent))
                for (const QString& item : *list)
                    if (bMatchText(item, strText, bMatchCase))
                        ++n;
            break;
        case tyWordList:
            if (auto words = valueObject<WordColl>(se->vContent))
                for (const auto& w : *words)
                    if (w && bMatchText(w->strTxt, strText, bMatchCase))
                        ++n;
            break;
        default:
            break;
        }
    }
    return n;
}

} // namespace vimra
