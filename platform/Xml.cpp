#include "platform/Xml.h"

#include "platform/FileRead.h"
#include "platform/FileWrite.h"
#include "platform/XmlConfine.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xmlIO.h>

#include <cerrno>
#include <mutex>
#include <new>

namespace vimra::xml {

namespace {

const xmlChar* X(const QByteArray& b) { return reinterpret_cast<const xmlChar*>(b.constData()); }
QString Q(const xmlChar* s) { return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString(); }

void silentError(void*, const char*, ...) {}
void silentStructured(void*, xmlErrorPtr) {}

// libxml2 prints every error on stderr unless told otherwise.
void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, silentError);
        xmlSetStructuredErrorFunc(nullptr, silentStructured);
        // Validation loads a document's DTD itself, outside the parser's
        // options: every file besides the one parsed goes through this.
        xmlSetExternalEntityLoader(confinedLoader);
    });
}

QString errorText(const xmlError* err)
{
    if (!err || !err->message)
        return {};
    QString msg = QString::fromUtf8(err->message).trimmed();
    if (err->line > 0)
        msg += QStringLiteral(" (line %1)").arg(err->line);
    return msg;
}

// Entities are kept as references, never substituted: their text is read
// through them, and bounded at load (entityFault).
constexpr int kParseOptions = XML_PARSE_NONET;
constexpr int kOwnDtdOptions = XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR;


// Collects the first validity error of a DTD validation. The structured
// handler is the one libxml2 calls when one is installed, so capture there.
struct ValidationErrors {
    QString first;
};
void validityError(void* ctx, const char* msg, ...)
{
    auto* errors = static_cast<ValidationErrors*>(ctx);
    if (errors->first.isEmpty())
        errors->first = QString::fromUtf8(msg).trimmed();
}
void validityStructured(void* ctx, xmlErrorPtr err)
{
    auto* errors = static_cast<ValidationErrors*>(ctx);
    if (errors->first.isEmpty())
        errors->first = errorText(err);
}

bool isBlankText(xmlNodePtr n)
{
    return n->type == XML_TEXT_NODE && xmlIsBlankNode(n);
}

xmlAttrPtr findAttr(xmlNodePtr node, const QString& name)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return nullptr;
    const QByteArray prefix = prefixPart(name).toUtf8();
    const QByteArray local = localPart(name).toUtf8();
    const QByteArray full = name.toUtf8();
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        const QByteArray an(reinterpret_cast<const char*>(a->name));
        if (a->ns && a->ns->prefix) {
            if (an == local && prefix == reinterpret_cast<const char*>(a->ns->prefix))
                return a;
        } else if (an == full) {
            return a;
        }
    }
    return nullptr;
}

} // namespace

QString localPart(const QString& name)
{
    const int colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

QString prefixPart(const QString& name)
{
    const int colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : name.left(colon);
}

bool isName(const QString& name)
{
    return !name.isEmpty() && xmlValidateName(X(name.toUtf8()), 0) == 0;
}

namespace {

// The length of the character at `i` when a file can hold it, 0 when not.
int storableLength(const QString& text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r' ? 1 : 0;
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 0;
    return QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF ? 0 : 1;
}

} // namespace

QString storableText(const QString& text)
{
    qsizetype i = 0;
    for (int n; i < text.size() && (n = storableLength(text, i)) > 0;)
        i += n;
    if (i == text.size())
        return text;
    QString out = text.left(i);
    while (i < text.size()) {
        const int n = storableLength(text, i);
        out += QStringView(text).mid(i, n);
        i += std::max(n, 1);
    }
    return out;
}

// ---- Node ----

bool Node::isElement() const { return m_node && m_node->type == XML_ELEMENT_NODE; }
bool Node::isProcessingInstruction() const { return m_node && m_node->type == XML_PI_NODE; }
bool Node::isComment() const { return m_node && m_node->type == XML_COMMENT_NODE; }

QString Node::localName() const
{
    if (!m_node)
        return {};
    const QString name = Q(m_node->name);
    if (m_node->ns)
        return name;
    // An element created with a prefixed name keeps the prefix in its name.
    return localPart(name);
}

QString Node::prefix() const
{
    if (!m_node)
        return {};
    if (m_node->ns && m_node->ns->prefix)
        return Q(m_node->ns->prefix);
    if (m_node->ns)
        return {};
    return prefixPart(Q(m_node->name));
}

QString Node::nodeName() const
{
    if (!m_node)
        return {};
    if (m_node->type == XML_TEXT_NODE)
        return QStringLiteral("#text");
    // Called for every element of every file an open reads: the name as
    // stored is the full name, but for a parsed prefix kept apart.
    const char* name = reinterpret_cast<const char*>(m_node->name);
    if (m_node->ns) {
        const char* p = reinterpret_cast<const char*>(m_node->ns->prefix);
        return p && *p ? QString::fromUtf8(p) + QLatin1Char(':') + QString::fromUtf8(name) : Q(m_node->name);
    }
    // A name made with a leading colon has no prefix to keep it.
    return name && *name == ':' ? localName() : Q(m_node->name);
}

QString Node::text() const
{
    if (!m_node)
        return {};
    xmlChar* content = xmlNodeGetContent(m_node);
    // Without memory for it an element's text comes back null: a field read
    // as empty would be saved so, losing what the file held.
    if (!content && (m_node->type == XML_ELEMENT_NODE || m_node->content))
        throw std::bad_alloc();
    QString out = Q(content);
    xmlFree(content);
    return out;
}

bool Node::hasAttribute(const QString& name) const { return findAttr(m_node, name) != nullptr; }

QString Node::attribute(const QString& name) const
{
    xmlAttrPtr a = findAttr(m_node, name);
    if (!a)
        return {};
    xmlChar* v = xmlNodeListGetString(m_node->doc, a->children, 1);
    QString out = Q(v);
    xmlFree(v);
    return out;
}

void Node::setAttribute(const QString& name, const QString& value)
{
    if (!isElement())
        return;
    const QByteArray v = storableText(value).toUtf8();
    if (xmlAttrPtr a = findAttr(m_node, name)) {
        xmlSetNsProp(m_node, a->ns, a->name, X(v));
        return;
    }
    xmlSetProp(m_node, X(name.toUtf8()), X(v));
}

void Node::removeAttribute(const QString& name)
{
    if (xmlAttrPtr a = findAttr(m_node, name))
        xmlRemoveProp(a);
}

void Node::setNamespaceDeclaration(const QString& prefix, const QString& uri)
{
    if (!isElement())
        return;
    const QByteArray p = prefix.toUtf8();
    const QByteArray u = storableText(uri).toUtf8();
    // A plain attribute spelled like the declaration would make a duplicate.
    if (xmlAttrPtr a = findAttr(m_node, prefix.isEmpty() ? QStringLiteral("xmlns")
                                                         : QStringLiteral("xmlns:") + prefix))
        xmlRemoveProp(a);
    for (xmlNsPtr ns = m_node->nsDef; ns; ns = ns->next) {
        const bool same = prefix.isEmpty() ? ns->prefix == nullptr
                                           : ns->prefix && p == reinterpret_cast<const char*>(ns->prefix);
        if (!same)
            continue;
        if (!ns->href || u != reinterpret_cast<const char*>(ns->href)) {
            if (ns->href)
                xmlFree(const_cast<xmlChar*>(ns->href));
            ns->href = xmlStrdup(X(u));
        }
        return;
    }
    xmlNewNs(m_node, X(u), prefix.isEmpty() ? nullptr : X(p));
}

void Node::setAttributeNS(const QString& uri, const QString& prefix, const QString& localName,
                          const QString& value)
{
    if (!isElement())
        return;
    const QByteArray u = storableText(uri).toUtf8();
    const QByteArray l = localName.toUtf8();
    const QByteArray v = storableText(value).toUtf8();
    for (xmlAttrPtr a = m_node->properties; a; a = a->next) {
        if (a->ns && a->ns->href && u == reinterpret_cast<const char*>(a->ns->href)
            && l == reinterpret_cast<const char*>(a->name)) {
            xmlSetNsProp(m_node, a->ns, a->name, X(v));
            return;
        }
    }
    // An attribute set earlier under its plain prefixed name stands for the same one.
    if (xmlAttrPtr a = findAttr(m_node, prefix + QLatin1Char(':') + localName); a && !a->ns)
        xmlRemoveProp(a);
    xmlNsPtr ns = xmlSearchNsByHref(m_node->doc, m_node, X(u));
    if (!ns) {
        setNamespaceDeclaration(prefix, uri);
        ns = xmlSearchNsByHref(m_node->doc, m_node, X(u));
    }
    if (ns)
        xmlSetNsProp(m_node, ns, X(l), X(v));
}

std::vector<std::pair<QString, QString>> Node::attributes() const
{
    std::vector<std::pair<QString, QString>> out;
    if (!isElement())
        return out;
    for (xmlAttrPtr a = m_node->properties; a; a = a->next) {
        QString name = Q(a->name);
        if (a->ns && a->ns->prefix)
            name = Q(a->ns->prefix) + QLatin1Char(':') + name;
        xmlChar* v = xmlNodeListGetString(m_node->doc, a->children, 1);
        out.emplace_back(name, Q(v));
        xmlFree(v);
    }
    return out;
}

QString Node::attributeNS(const QString& uri, const QString& localName) const
{
    if (!isElement())
        return {};
    const QByteArray u = uri.toUtf8();
    const QByteArray l = localName.toUtf8();
    for (xmlAttrPtr a = m_node->properties; a; a = a->next) {
        if (a->ns && a->ns->href && u == reinterpret_cast<const char*>(a->ns->href)
            && l == reinterpret_cast<const char*>(a->name)) {
            xmlChar* v = xmlNodeListGetString(m_node->doc, a->children, 1);
            QString out = v ? Q(v) : QStringLiteral("");
            xmlFree(v);
            return out;
        }
    }
    return {};
}

QString Node::declaredNamespace(const QString& prefix) const
{
    if (!isElement())
        return {};
    const QByteArray p = prefix.toUtf8();
    for (xmlNsPtr ns = m_node->nsDef; ns; ns = ns->next) {
        const bool same = prefix.isEmpty() ? ns->prefix == nullptr
                                           : ns->prefix && p == reinterpret_cast<const char*>(ns->prefix);
        if (same)
            return ns->href ? Q(ns->href) : QStringLiteral("");
    }
    return {};
}

std::vector<Node> Node::children() const
{
    std::vector<Node> out;
    if (!m_node)
        return out;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (!isBlankText(c))
            out.emplace_back(c);
    return out;
}

std::vector<Node> Node::childElements() const
{
    std::vector<Node> out;
    if (!m_node)
        return out;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            out.emplace_back(c);
    return out;
}

Node Node::firstChildElement(const QString& localName) const
{
    for (const Node& c : childElements())
        if (localName.isEmpty() || c.localName() == localName)
            return c;
    return {};
}

Node Node::parent() const
{
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return {};
    return Node(m_node->parent);
}

Node Node::appendElement(const QString& name)
{
    if (!m_node)
        return {};
    // In no namespace: xmlNewChild would give the child its parent's, and
    // under a prefixed root that writes the prefix, a name no field matches.
    xmlNodePtr child = xmlNewDocNode(m_node->doc, nullptr, X(name.toUtf8()), nullptr);
    return Node(xmlAddChild(m_node, child));
}

void Node::appendText(const QString& text)
{
    if (!m_node)
        return;
    const QByteArray t = storableText(text).toUtf8();
    xmlNodeAddContentLen(m_node, X(t), t.size());
}

void Node::setText(const QString& text)
{
    removeChildren();
    appendText(text);
}

void Node::removeChildren()
{
    if (!m_node)
        return;
    xmlNodePtr c = m_node->children;
    while (c) {
        xmlNodePtr next = c->next;
        xmlUnlinkNode(c);
        xmlFreeNode(c);
        c = next;
    }
}

void Node::remove()
{
    if (!m_node)
        return;
    xmlUnlinkNode(m_node);
    xmlFreeNode(m_node);
    m_node = nullptr;
}

// ---- Document ----

Document::Document()
{
    initLibrary();
    clear();
}

Document::~Document()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

Document::Document(Document&& other) noexcept
    : m_doc(std::exchange(other.m_doc, nullptr)), m_reason(std::move(other.m_reason))
{
}

Document& Document::operator=(Document&& other) noexcept
{
    if (this != &other) {
        if (m_doc)
            xmlFreeDoc(m_doc);
        m_doc = std::exchange(other.m_doc, nullptr);
        m_reason = std::move(other.m_reason);
    }
    return *this;
}

Document Document::clone() const
{
    Document copy;
    xmlFreeDoc(copy.m_doc);
    copy.m_doc = m_doc ? xmlCopyDoc(m_doc, 1) : nullptr;
    copy.m_reason = m_reason;
    return copy;
}

void Document::clear()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
    m_doc = xmlNewDoc(X("1.0"));
    m_reason.clear();
}

bool Document::finishLoad(_xmlDoc* doc, const QString& failure)
{
    if (!doc) {
        m_reason = failure.isEmpty() ? QStringLiteral("The document could not be parsed.") : failure;
        return false;
    }
    if (const QString fault = entityFault(doc); !fault.isEmpty()) {
        xmlFreeDoc(doc);
        m_reason = fault;
        return false;
    }
    if (doc->intSubset || doc->extSubset) {
        ValidationErrors errors;
        xmlValidCtxtPtr vctxt = xmlNewValidCtxt();
        vctxt->userData = &errors;
        vctxt->error = validityError;
        vctxt->warning = nullptr;
        xmlSetStructuredErrorFunc(&errors, validityStructured);
        const int valid = xmlValidateDocument(vctxt, doc);
        xmlSetStructuredErrorFunc(nullptr, silentStructured);
        xmlFreeValidCtxt(vctxt);
        if (!valid) {
            xmlFreeDoc(doc);
            m_reason = errors.first.isEmpty() ? QStringLiteral("The document is not valid against its DTD.")
                                              : errors.first;
            return false;
        }
    }
    if (m_doc)
        xmlFreeDoc(m_doc);
    m_doc = doc;
    m_reason.clear();
    return true;
}

namespace {

// One parser context per thread, reused: every document it parses shares
// its dictionary of names, so thousands of small object files held at once
// keep one copy of each element name, and no parse builds a context and a
// dictionary of its own.
struct ReusedContext {
    xmlParserCtxtPtr ctxt = nullptr;
    ReusedContext()
    {
        // The parser's error handlers are per thread: a file read on a
        // worker thread must not print to the terminal either.
        xmlSetGenericErrorFunc(nullptr, silentError);
        xmlSetStructuredErrorFunc(nullptr, silentStructured);
        ctxt = xmlNewParserCtxt();
        if (ctxt)
            guardParser(ctxt);
    }
    ~ReusedContext() { xmlFreeParserCtxt(ctxt); }
};

xmlParserCtxtPtr parserContext()
{
    thread_local ReusedContext reused;
    return reused.ctxt;
}

bool bCompressed(const QByteArray& bytes)
{
    return bytes.startsWith("\x1f\x8b") || bytes.startsWith(QByteArrayLiteral("\xfd" "7zXZ"));
}

// The base a DTD the file names is resolved against: a file URL, as a bare
// path holding a space, '#' or '?' is no URL and would leave the name
// resolved against the working folder.
QByteArray fileUrl(const QString& path)
{
    return "file://" + QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).toPercentEncoding("/");
}

// Why a file was not read; errno holds the system's reason for a failure.
QString unreadReason(fs::ReadResult result, const QString& path)
{
    switch (result) {
    case fs::ReadResult::NotFound:
        return QStringLiteral("The system cannot locate the object specified: %1").arg(path);
    case fs::ReadResult::NotRegular:
        return text(msg::NotRegularFile);
    case fs::ReadResult::TooLarge:
        return text(msg::FileTooLarge);
    case fs::ReadResult::NoMemory:
        return text(msg::NoMemoryForFile);
    default:
        return qt_error_string(errno);
    }
}

} // namespace

bool Document::load(const QString& path)
{
    return loadFile(path, false);
}

bool Document::loadWithOwnDtd(const QString& path)
{
    return loadFile(path, true);
}

bool Document::loadFile(const QString& path, bool bOwnDtd)
{
    initLibrary();
    try {
        // Read whole and parsed from memory, a small file costs about half
        // what the parser's own file reading costs (it goes through its
        // decompression layer). A compressed file is decompressed whole
        // first, so its size is known before a byte is parsed.
        QByteArray bytes;
        fs::ReadResult read = fs::readRegularFile(path, bytes);
        if (read == fs::ReadResult::Read && bCompressed(bytes))
            read = readDecompressed(path, bytes);
        if (read != fs::ReadResult::Read) {
            m_reason = unreadReason(read, path);
            return false;
        }
        ReadPermit permit;
        permit.bOwnDtd = bOwnDtd;
        return parse(bytes, fileUrl(path), bOwnDtd ? kOwnDtdOptions : kParseOptions, permit);
    } catch (const std::bad_alloc&) {
        m_reason = text(msg::NoMemoryForFile);
        return false;
    }
}

bool Document::loadXml(const QByteArray& text)
{
    initLibrary();
    ReadPermit permit;
    return parse(text, QByteArray(), kParseOptions, permit);
}

bool Document::parse(const QByteArray& bytes, const QByteArray& url, int options, ReadPermit& permit)
{
    const PermitScope scope(permit);
    xmlParserCtxtPtr ctxt = parserContext();
    xmlResetLastError();
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.constData(), static_cast<int>(bytes.size()),
                                      url.isEmpty() ? nullptr : url.constData(), nullptr, options);
    if (permit.iRefused || bOutOfMemory(ctxt)) {
        xmlFreeDoc(doc);
        m_reason = text(permit.iRefused ? permit.iRefused : msg::NoMemoryForFile);
        return false;
    }
    const QString failure = doc ? QString() : errorText(xmlCtxtGetLastError(ctxt));
    return finishLoad(doc, failure);
}

Node Document::documentElement() const
{
    return m_doc ? Node(xmlDocGetRootElement(m_doc)) : Node();
}

Node Document::createRoot(const QString& name)
{
    if (!m_doc)
        clear();
    xmlNodePtr root = xmlNewDocNode(m_doc, nullptr, X(name.toUtf8()), nullptr);
    xmlNodePtr old = xmlDocSetRootElement(m_doc, root);
    if (old)
        xmlFreeNode(old);
    return Node(root);
}

QByteArray Document::toBytes(bool indent) const
{
    if (!m_doc)
        return {};
    xmlChar* mem = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(m_doc, &mem, &size, "UTF-8", indent ? 1 : 0);
    QByteArray out(reinterpret_cast<const char*>(mem), size);
    xmlFree(mem);
    return out;
}

bool Document::save(const QString& path, QString* error, bool indent) const
{
    return fs::writeAtomically(path, toBytes(indent), error);
}

} // namespace vimra::xml
