#pragma once

#include "platform/Xml.h"
#include "records/Coll.h"
#include "records/SchemaElement.h"
#include "records/ValueTypes.h"

#include <QString>

#include <memory>

namespace vimra {

class IOManager;
class ParsedSchema;
struct ClassFields;

// The field list of one document object: its SchemaElement records in schema
// order (a base type's fields first), filled from the XML Schema and the
// object's instance file, written back, counted and searched. The DOM
// documents belong to the calling object, which passes them in.
class SEColl {
public:
    using Record = std::shared_ptr<SchemaElement>;

    // Appends a new record (under sKey when it is not empty) and answers it;
    // nullptr, with nothing added, when the key is already taken.
    Record Add(int tyType, const QString& strCloseList, const QString& strName, const FieldValue& vContent,
               const QString& strComment, bool bIgnore, bool bReadOnly, bool bChanged, bool bValid,
               const QString& sKey = QString());
    // The record at a 1-based position or under a key; throws std::out_of_range
    // when there is none.
    Record Item(int index) const { return m_col.Item(index); }
    Record Item(const QString& sKey) const { return m_col.Item(sKey); }
    int Count() const { return m_col.Count(); }
    void Remove(int index)
    {
        m_col.Item(index)->bChanged.countIn(nullptr);
        m_col.Remove(index);
    }
    void Remove(const QString& sKey)
    {
        if (const int i = m_col.IndexOfKey(sKey))
            Remove(i);
    }
    auto begin() const { return m_col.begin(); }
    auto end() const { return m_col.end(); }

    // The first record whose strName is exactly `name`, or nullptr.
    Record find(const QString& name) const;

    int iNumValid() const;
    // Assigned records the forms show (codes 0 to 6), ignored ones included.
    int iNumValidAndReadable() const;
    bool bChanged() const { return *m_changed > 0; }

    // Reads an existing object: opens its file into `doc`, builds the fields
    // of strClass from the schema named by the settings and decodes the
    // instance (or takes the fields the store built when it read the file).
    // "" on success, else the error text.
    QString strLoad(xml::Document& doc, const QString& strGUID, IOManager& io, const QString& strClass,
                    CloseListRegistry& closeLists);
    // The fields of strClass from `schema` with the instance `doc` decoded,
    // before any document's closed lists are met: what strLoad builds, made
    // where the file was parsed (any thread). nullptr when strLoad would
    // answer an error.
    static std::shared_ptr<SEColl> prepared(const xml::Document& doc, const std::shared_ptr<const ParsedSchema>& schema,
                                            const QString& strClass);
    // Prepares a new object: a bare root `rootName` with its schema location
    // in `doc`, every field unassigned. "" on success, else the error text.
    QString strInitAsNew(xml::Document& doc, const QString& strSchemaPath, const QString& rootName,
                         CloseListRegistry& closeLists);
    // Writes and stores when anything changed. A failure is shown (OK only)
    // and answers false with every change flag kept.
    bool bSave(xml::Document& doc, const QString& strGUID, IOManager& io);
    // As bSave, whether or not anything changed.
    bool bSaveAs(xml::Document& doc, const QString& strGUID, IOManager& io);

    // How many child nodes of `node` are elements.
    static int iChildElements(const xml::Node& node);
    // How many values of the assigned String, SetOfStrings and WordList
    // fields contain strText (each list item and word counts on its own).
    int iSearchText(const QString& strText, bool bMatchCase) const;

private:
    QString strLoadFields(xml::Document& doc, const QString& strGUID, IOManager& io, const QString& strClass,
                          CloseListRegistry& closeLists);
    // The schema reader (SchemaReader.cpp): the shared parsed schema, and a
    // copy of a class's fields with the document's closed lists applied.
    static QString strLoadSchema(const QString& strSchemaPath, std::shared_ptr<const ParsedSchema>& schema);
    // Appends the class's fields, unassigned or as `filled` holds them (the
    // same class's, prepared; taken from it), and applies the document's
    // closed lists.
    QString strAppendClass(const ClassFields& classFields, CloseListRegistry& closeLists, SEColl* filled = nullptr);
    void AppendBlank(const ClassFields& classFields);

    bool bWriteAndStore(xml::Document& doc, const QString& strGUID, IOManager& io);

    // Takes the record into the collection's count of changed fields.
    void adopt(const Record& se) { se->bChanged.countIn(m_changed); }

    Coll<Record> m_col;
    std::shared_ptr<int> m_changed = std::make_shared<int>(0);
};

} // namespace vimra
