#include "platform/XmlConfine.h"

#include "platform/FileRead.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <new>
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

} // namespace

xmlParserInputPtr confinedLoader(const char* url, const char*, xmlParserCtxtPtr ctxt)
{
    ReadPermit* permit = t_permit;
    const QString path = url && permit ? localPath(url) : QString();
    // Once: a DTD that names itself as a parameter entity is not read again.
    if (path.isEmpty() || !permit->bOwnDtd || permit->bOwnDtdRead || path != ownDtd(ctxt))
        return nullptr;
    permit->bOwnDtdRead = true;
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

// ---- declarations ----

// The most text parameter entities may be expanded into in one parse, and
// the least one reference counts for. The vocabulary's DTD needs a few
// hundred bytes; a parse within the bound ends in well under a second.
constexpr qint64 kMaxParameterEntityText = qint64(10) << 20;
constexpr qint64 kLeastPerReference = 100;

void refuse(xmlParserCtxtPtr ctxt, int id)
{
    if (t_permit && !t_permit->iRefused)
        t_permit->iRefused = id;
    xmlStopParser(ctxt);
}

// Called once the DOCTYPE's name and external identifier are read, before
// its internal subset: what follows is still unread.
void guardedInternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    const bool bSubset = ctxt->input && ctxt->input->cur && *ctxt->input->cur == '[';
    if (bSubset && !(t_permit && t_permit->bOwnDtd)) {
        refuse(ctxt, msg::DeclaresOwnDtd);
        return;
    }
    xmlSAX2InternalSubset(ctx, name, externalId, systemId);
}

// A parameter entity whose text holds a reference to another is refused as
// it is declared: nested ones multiply, and libxml2 can spin for ever on them
// once it has met an error, with no other call made.
void guardedEntityDecl(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                       xmlChar* content)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if ((type == XML_INTERNAL_PARAMETER_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY) && content
        && xmlStrchr(content, '%')) {
        refuse(ctxt, msg::ParameterEntitiesTooMuch);
        return;
    }
    xmlSAX2EntityDecl(ctx, name, type, publicId, systemId, content);
}

// Every parameter entity reference, in a declaration or between them, is
// looked up here before it is expanded.
xmlEntityPtr guardedParameterEntity(void* ctx, const xmlChar* name)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    xmlEntityPtr ent = xmlSAX2GetParameterEntity(ctx, name);
    const qint64 size = std::max<qint64>(ent ? ent->length : 0, kLeastPerReference);
    if (!t_permit || (t_permit->parameterEntityText += size) > kMaxParameterEntityText) {
        refuse(ctxt, msg::ParameterEntitiesTooMuch);
        return nullptr;
    }
    return ent;
}

} // namespace

void guardParser(xmlParserCtxtPtr ctxt)
{
    ctxt->sax->internalSubset = guardedInternalSubset;
    ctxt->sax->getParameterEntity = guardedParameterEntity;
    ctxt->sax->entityDecl = guardedEntityDecl;
}

fs::ReadResult readDecompressed(const QString& path, QByteArray& bytes)
{
    bytes.clear();
    // The parser's own input layer decompresses what it reads (gzip, xz).
    xmlParserInputBufferPtr in =
        xmlParserInputBufferCreateFilename(QFile::encodeName(path).constData(), XML_CHAR_ENCODING_NONE);
    if (!in || !in->readcallback) {
        xmlFreeParserInputBuffer(in);
        return fs::ReadResult::Failed;
    }
    constexpr int kChunk = 1 << 16;
    fs::ReadResult result = fs::ReadResult::Read;
    try {
        for (;;) {
            if (bytes.size() > fs::kMaxReadSize) {
                result = fs::ReadResult::TooLarge;
                break;
            }
            const qsizetype at = bytes.size();
            bytes.resize(at + kChunk);
            const int n = in->readcallback(in->context, bytes.data() + at, kChunk);
            bytes.resize(at + std::max(n, 0));
            if (n <= 0) {
                if (n < 0)
                    result = fs::ReadResult::Failed;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        result = fs::ReadResult::NoMemory;
    }
    xmlFreeParserInputBuffer(in);
    if (result != fs::ReadResult::Read)
        bytes.clear();
    return result;
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
