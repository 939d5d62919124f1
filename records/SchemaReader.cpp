// The XML Schema reader of SEColl: builds a class's records from the subset
// of XML Schema the installation's schema uses. Constructs and attributes are
// matched by local name, values exactly.

#include "records/SEColl.h"

#include "records/SchemaCache.h"

#include "resources/MessageIds.h"
#include "resources/StringTable.h"

namespace vimra {

namespace {

// The value of the attribute with this local name (the last when repeated
// under different prefixes); `found` tells whether there was one.
QString attrByLocalName(const xml::Node& node, const QString& local, bool* found = nullptr)
{
    QString value;
    bool any = false;
    for (const auto& [name, v] : node.attributes())
        if (xml::localPart(name) == local) {
            value = v;
            any = true;
        }
    if (found)
        *found = any;
    return value;
}

bool hasAttrValue(const xml::Node& node, const QString& local, const QString& value)
{
    for (const auto& [name, v] : node.attributes())
        if (xml::localPart(name) == local && v == value)
            return true;
    return false;
}

// The last child element whose local name is one of `names`.
xml::Node lastChild(const xml::Node& parent, std::initializer_list<const char*> names)
{
    xml::Node found;
    for (const xml::Node& c : parent.childElements())
        for (const char* n : names)
            if (c.localName() == QLatin1String(n))
                found = c;
    return found;
}

// The first top-level element carrying name="value".
xml::Node topLevelNamed(const xml::Document& schemaDoc, const QString& value)
{
    for (const xml::Node& c : schemaDoc.documentElement().childElements())
        if (hasAttrValue(c, QStringLiteral("name"), value))
            return c;
    return {};
}

QString classError(const QString& strClass, int id) { return strClass + QLatin1Char(':') + text(id); }

std::shared_ptr<const CloseList> clParseCloseList(const xml::Document& schemaDoc, const QString& strTypeName)
{
    const xml::Node simpleType = topLevelNamed(schemaDoc, strTypeName);
    if (!simpleType || simpleType.localName() != QLatin1String("simpleType"))
        return nullptr;
    const xml::Node restriction = simpleType.firstChildElement(QStringLiteral("restriction"));
    if (!restriction)
        return nullptr;
    auto items = std::make_shared<StringList>();
    for (const xml::Node& e : restriction.childElements()) {
        if (e.localName() != QLatin1String("enumeration"))
            continue;
        for (const auto& [name, value] : e.attributes())
            if (xml::localPart(name) == QLatin1String("value"))
                items->Add(value);
    }
    if (items->Count() == 0)
        return nullptr;
    auto cl = std::make_shared<CloseList>();
    cl->strCLName = strTypeName;
    cl->colItems = items;
    return cl;
}

// Fills the fields from 0-based position iStart on, one per element of the group.
QString FillElements(const xml::Document& schemaDoc, const xml::Node& group, const QString& strClass, size_t iStart,
                     ClassFields& out)
{
    // Built-in types carry the prefix of the group element holding them.
    const QString p = group.prefix();
    size_t i = iStart;
    for (const xml::Node& decl : group.childElements()) {
        ClassFields::Field& field = out.fields[i];
        SchemaElement& se = field.se;
        se.bIgnore = false;
        se.bReadOnly = false;
        for (const xml::Node& annotation : decl.childElements()) {
            if (annotation.localName() != QLatin1String("annotation"))
                continue;
            for (const xml::Node& appinfo : annotation.childElements()) {
                if (appinfo.localName() != QLatin1String("appinfo"))
                    continue;
                const QString flag = appinfo.text().trimmed().toLower();
                if (flag == QLatin1String("ignore"))
                    se.bIgnore = true;
                else if (flag == QLatin1String("readonly"))
                    se.bReadOnly = true;
            }
        }
        QString type;
        for (const auto& [name, value] : decl.attributes()) {
            const QString local = xml::localPart(name);
            if (local == QLatin1String("name"))
                se.strName = value;
            else if (local == QLatin1String("type"))
                type = value;
        }
        // The parser keeps the layout of an indented declaration; a tooltip wants the words.
        se.strComment = decl.text().simplified();
        if (se.strName.isEmpty() || type.isEmpty())
            return strClass + QLatin1Char(':') + text(msg::SchemaElement) + QString::number(i + 1)
                + text(msg::NoTypeOrName);
        // An element by that name would make a file the parser rejects.
        if (!xml::isName(se.strName))
            se.bIgnore = true;
        if (se.strName.contains(QLatin1String("GUID")))
            se.bReadOnly = true;

        if (type == p + QLatin1String(":string"))
            se.tyType = tyString;
        else if (type == QLatin1String("SetOfStrings"))
            se.tyType = tySetOfStrings;
        else if (type == QLatin1String("SetOfGUIDs"))
            se.tyType = tySetOfGUIDs;
        else if (type == p + QLatin1String(":integer"))
            se.tyType = tyInteger;
        else if (type == p + QLatin1String(":date"))
            se.tyType = tyDate;
        else if (type == p + QLatin1String(":float"))
            se.tyType = tyReal;
        else if (type == p + QLatin1String(":boolean"))
            se.tyType = tyBool;
        else if (type == QLatin1String("ChunkType"))
            se.tyType = tyChunkTime;
        else if (type == QLatin1String("SetOfWords"))
            se.tyType = tyWordList;
        else {
            // Which list it takes depends on the document's closed lists:
            // SEColl::strAppendClass decides.
            se.tyType = tyCloseList;
            field.strListType = type;
            field.list = clParseCloseList(schemaDoc, type);
        }
        se.bChanged = false;
        se.bValid = false;
        ++i;
    }
    return {};
}

// Appends one blank field per element of the group and fills them.
QString strAppendGroup(const xml::Document& schemaDoc, const xml::Node& group, const QString& strClass,
                       ClassFields& out)
{
    const size_t n = group.childElements().size();
    if (n == 0)
        return classError(strClass, msg::EmptyContentGroup);
    // A base type's fields come first, so a derived class continues after them.
    const size_t iStart = out.fields.size();
    out.fields.resize(iStart + n);
    return FillElements(schemaDoc, group, strClass, iStart, out);
}

QString strParseBaseType(const xml::Document& schemaDoc, const QString& strBase, ClassFields& out)
{
    xml::Node base;
    for (const xml::Node& c : schemaDoc.documentElement().childElements())
        if (c.localName() == QLatin1String("complexType") && hasAttrValue(c, QStringLiteral("name"), strBase)) {
            base = c;
            break;
        }
    if (!base)
        return text(msg::TypeNotDefined) + strBase;
    const xml::Node group = lastChild(base, {"sequence", "all"});
    if (!group)
        return classError(strBase, msg::NoContentGroup);
    return strAppendGroup(schemaDoc, group, strBase, out);
}

QString strParseClassType(const xml::Document& schemaDoc, const QString& strClass, ClassFields& out)
{
    const xml::Node decl = topLevelNamed(schemaDoc, strClass);
    if (!decl)
        return text(msg::TypeNotDefined) + strClass;
    const xml::Node complexType = lastChild(decl, {"complexType"});
    if (!complexType)
        return classError(strClass, msg::NoComplexType);
    xml::Node group = lastChild(complexType, {"sequence", "all", "complexContent"});
    if (!group)
        return classError(strClass, msg::NoContentGroup);

    if (group.localName() == QLatin1String("complexContent")) {
        const xml::Node extension = lastChild(group, {"extension"});
        if (!extension)
            return classError(strClass, msg::NoContentGroup);
        const QString err = strParseBaseType(schemaDoc, attrByLocalName(extension, QStringLiteral("base")), out);
        if (!err.isEmpty())
            return err;
        group = lastChild(extension, {"sequence", "all"});
        if (!group)
            return classError(strClass, msg::ComplexContentNoGroup);
    }
    return strAppendGroup(schemaDoc, group, strClass, out);
}

} // namespace

const ClassFields& ParsedSchema::classFields(const QString& strClass) const
{
    const std::lock_guard lock(m_classesMutex);
    auto it = m_classes.find(strClass);
    if (it == m_classes.end()) {
        ClassFields fields;
        fields.error = strParseClassType(m_doc, strClass, fields);
        it = m_classes.emplace(strClass, std::move(fields)).first;
    }
    return it->second;
}


QString SEColl::strLoadSchema(const QString& strSchemaPath, std::shared_ptr<const ParsedSchema>& schema)
{
    schema.reset();
    if (strSchemaPath.isEmpty())
        return text(msg::NoSchemaReference);
    QString error;
    schema = ParsedSchema::load(strSchemaPath, error);
    return error;
}

void SEColl::AppendBlank(const ClassFields& classFields)
{
    for (const ClassFields::Field& field : classFields.fields) {
        auto se = std::make_shared<SchemaElement>(field.se);
        m_col.Add(se);
        adopt(se);
    }
}

QString SEColl::strAppendClass(const ClassFields& classFields, CloseListRegistry& closeLists, SEColl* filled)
{
    const int first = Count() + 1;
    if (filled && m_col.isEmpty()) {
        // Taken whole, with the count its records keep of their changes.
        m_col = std::move(filled->m_col);
        m_changed = std::move(filled->m_changed);
    } else if (filled) {
        for (const Record& se : filled->m_col) {
            m_col.Add(se);
            adopt(se);
        }
    } else {
        AppendBlank(classFields);
    }
    for (size_t i = 0; i < classFields.fields.size(); ++i) {
        const ClassFields::Field& field = classFields.fields[i];
        if (field.strListType.isEmpty())
            continue;
        SchemaElement& se = *m_col.Item(first + static_cast<int>(i));
        // A list is parsed once per document; later objects reuse it even
        // when the schema file changed in between.
        if (closeLists.Contains(field.strListType)) {
            se.strCloseList = field.strListType;
        } else if (field.list) {
            auto cl = std::make_shared<CloseList>(*field.list);
            cl->colItems = std::make_shared<StringList>(*field.list->colItems);
            closeLists.Add(cl, field.strListType);
            se.strCloseList = field.strListType;
        } else {
            se.bIgnore = true;
            se.tyType = tyUnknow;
        }
    }
    return classFields.error;
}

} // namespace vimra
