#pragma once

#include "platform/Xml.h"
#include "records/SchemaElement.h"
#include "records/ValueTypes.h"

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace vimra {

// The fields of one class as one schema declares them, before a document's
// closed lists are met: built once per schema and copied into every object.
struct ClassFields {
    struct Field {
        SchemaElement se;
        // A field of a closed-list type: the type's name and the list this
        // schema gives it (none when it gives none).
        QString strListType;
        std::shared_ptr<const CloseList> list;
    };
    std::vector<Field> fields;
    // "" or why the class cannot be read; the fields met before stay.
    QString error;
};

// One parsed schema file, shared by every object read while the file is
// unchanged, so that no object keeps a schema of its own.
class ParsedSchema {
public:
    // The parsed schema at `path`, read again when the file changed since
    // it was last read; nullptr with `error` (the load error text) when it
    // cannot be read.
    static std::shared_ptr<const ParsedSchema> load(const QString& path, QString& error);

    const xml::Document& doc() const { return m_doc; }
    // The fields of `strClass` (SchemaReader.cpp), built at the first
    // request; any thread may ask.
    const ClassFields& classFields(const QString& strClass) const;

private:
    xml::Document m_doc;
    mutable std::mutex m_classesMutex;
    mutable std::map<QString, ClassFields> m_classes; // never erased: answers stay valid
};

} // namespace vimra
