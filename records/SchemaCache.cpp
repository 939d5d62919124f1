#include "records/SchemaCache.h"

#include "records/FileStamp.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

namespace vimra {

std::shared_ptr<const ParsedSchema> ParsedSchema::load(const QString& path, QString& error)
{
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const ParsedSchema> schema;
        quint64 checkedIn = 0; // the scope that last found the file unchanged
    };
    static std::map<QString, Entry> cache;

    error.clear();
    auto it = cache.find(path);
    if (it != cache.end() && StampScope::current() && it->second.checkedIn == StampScope::current())
        return it->second.schema;
    const FileStamp now = FileStamp::of(path);
    if (it != cache.end() && it->second.stamp.bUnchanged(now)) {
        it->second.checkedIn = StampScope::current();
        return it->second.schema;
    }
    if (it != cache.end())
        cache.erase(it);
    auto schema = std::make_shared<ParsedSchema>();
    if (!schema->m_doc.load(path)) {
        error = text(msg::SchemaLoadError) + schema->m_doc.parseErrorReason();
        return nullptr;
    }
    cache[path] = Entry{now, schema, StampScope::current()};
    return schema;
}

} // namespace vimra
