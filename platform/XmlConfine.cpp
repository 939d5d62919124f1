#include "platform/XmlConfine.h"

#include "platform/FileRead.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace vimra::xml {

namespace {

thread_local ReadPermit* t_permit = nullptr;

// The clean absolute path a local file URL or a path names; "" for any
// other URL.
QString localPath(const char* url)
{
    QByteArray u(url);
    const bool bFileUrl = u.startsWith("file:");
    if (u.startsWith("file://localhost/"))
        u.remove(0, 16);
    else if (u.startsWith("file:///"))
        u.remove(0, 7);
    else if (bFileUrl || u.contains("://"))
        return {};
    if (bFileUrl)
        u = QByteArray::fromPercentEncoding(u);
    return QDir::cleanPath(QFileInfo(QFile::decodeName(u)).absoluteFilePath());
}

// The file the DOCTYPE of the document being parsed names, resolved against
// the input being read as the parser resolves it: only the DOCTYPE's own
// request matches, not a parameter entity met inside that DTD.
QString ownDtd(xmlParserCtxtPtr ctxt)
{
    if (!ctxt || !ctxt->myDoc || !ctxt->myDoc->intSubset || !ctxt->myDoc->intSubset->SystemID || !ctxt->input)
        return {};
    const char* base = ctxt->input->filename ? ctxt->input->filename : ctxt->directory;
    xmlChar* uri = xmlBuildURI(ctxt->myDoc->intSubset->SystemID, reinterpret_cast<const xmlChar*>(base));
    const QString path = uri ? localPath(reinterpret_cast<const char*>(uri)) : QString();
    xmlFree(uri);
    return path;
}

// A decompressing input that fails once it has given more than the limit.
struct CountedInput {
    void* context;
    xmlInputReadCallback read;
    xmlInputCloseCallback close;
    qint64 left;
    bool* bTooLarge;
};
int countedRead(void* context, char* buffer, int len)
{
    auto* in = static_cast<CountedInput*>(context);
    const int n = in->read(in->context, buffer, len);
    if (n > 0 && (in->left -= n) < 0) {
        *in->bTooLarge = true;
        return -1;
    }
    return n;
}
int countedClose(void* context)
{
    auto* in = static_cast<CountedInput*>(context);
    const int result = in->close ? in->close(in->context) : 0;
    delete in;
    return result;
}

} // namespace

xmlParserInputPtr confinedLoader(const char* url, const char*, xmlParserCtxtPtr ctxt)
{
    ReadPermit* permit = t_permit;
    const QString path = url && permit ? localPath(url) : QString();
    if (path.isEmpty())
        return nullptr;
    if (path == permit->compressedFile) {
        // Checked a regular file of at most the limit just before.
        xmlParserInputPtr input = xmlNewInputFromFile(ctxt, url);
        if (input && input->buf && input->buf->readcallback) {
            auto* counted = new CountedInput{input->buf->context, input->buf->readcallback, input->buf->closecallback,
                                             fs::kMaxReadSize, &permit->bTooLarge};
            input->buf->context = counted;
            input->buf->readcallback = countedRead;
            input->buf->closecallback = countedClose;
        }
        return input;
    }
    if (!permit->bOwnDtd || path != ownDtd(ctxt))
        return nullptr;
    QByteArray bytes;
    if (fs::readRegularFile(path, bytes) != fs::ReadResult::Read)
        return nullptr;
    xmlParserInputBufferPtr buffer =
        xmlParserInputBufferCreateMem(bytes.constData(), static_cast<int>(bytes.size()), XML_CHAR_ENCODING_NONE);
    xmlParserInputPtr input = buffer ? xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE) : nullptr;
    if (!input) {
        xmlFreeParserInputBuffer(buffer);
        return nullptr;
    }
    input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(url)));
    return input;
}

PermitScope::PermitScope(ReadPermit& permit) : m_saved(std::exchange(t_permit, &permit)) {}

PermitScope::~PermitScope()
{
    t_permit = m_saved;
}

namespace {

// ---- entity references ----

// The most text a document's entity references may stand for. Fields are read
// through the references (text() and attribute() expand them), so a few
// kilobytes declaring large or nested entities would otherwise become
// gigabytes at the first read. Nothing vimra writes declares an entity.
constexpr qint64 kMaxEntityText = qint64(10) << 20;

class EntityText {
public:
    // The text below `node` and its siblings, references expanded; those
    // read in the document itself are added up against the limit.
    qint64 expanded(xmlNodePtr node, bool bInDocument)
    {
        qint64 total = 0;
        for (; node && !m_fault; node = node->next) {
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                total += xmlStrlen(node->content);
            } else if (node->type == XML_ELEMENT_NODE) {
                for (xmlAttrPtr a = node->properties; a; a = a->next)
                    total += expanded(a->children, bInDocument);
                total += expanded(node->children, bInDocument);
            } else if (node->type == XML_ENTITY_REF_NODE) {
                const qint64 size = entity(node);
                total += size;
                if (bInDocument && (m_fromEntities += size) > kMaxEntityText)
                    fail(msg::EntityTextTooLarge, node);
            }
            if (!bInDocument && total > kMaxEntityText)
                break;
        }
        return total;
    }

    // The fault found, "" when the references are sound.
    QString fault() const
    {
        if (!m_fault)
            return {};
        QString out = text(m_fault);
        if (m_line > 0)
            out += QStringLiteral(" (line %1)").arg(m_line);
        return out;
    }

private:
    // The text one reference stands for, at most just over the limit.
    qint64 entity(xmlNodePtr ref)
    {
        xmlEntityPtr ent = xmlGetDocEntity(ref->doc, ref->name);
        if (!ent || ent->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY
            || ent->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY) {
            fail(msg::EntityNotRead, ref);
            return 0;
        }
        // Entered once per entity; one that refers back to itself counts as too much.
        if (const auto it = m_sizes.find(ent); it != m_sizes.end())
            return it->second;
        m_sizes[ent] = kMaxEntityText + 1;
        const qint64 size = std::min(expanded(ent->children, false), kMaxEntityText + 1);
        m_sizes[ent] = size;
        return size;
    }

    void fail(int id, xmlNodePtr node)
    {
        if (m_fault)
            return;
        m_fault = id;
        m_line = xmlGetLineNo(node);
    }

    std::unordered_map<xmlEntityPtr, qint64> m_sizes;
    qint64 m_fromEntities = 0;
    int m_fault = 0;
    long m_line = 0;
};

} // namespace

QString entityFault(xmlDocPtr doc)
{
    if (!doc->intSubset)
        return {};
    EntityText entities;
    entities.expanded(doc->children, true);
    return entities.fault();
}

bool bOutOfMemory(xmlParserCtxtPtr ctxt)
{
    const xmlError* last = xmlGetLastError();
    return ctxt->errNo == XML_ERR_NO_MEMORY || ctxt->lastError.code == XML_ERR_NO_MEMORY
           || (last && last->code == XML_ERR_NO_MEMORY);
}

} // namespace vimra::xml
