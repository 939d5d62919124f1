#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

struct _xmlNode;
struct _xmlDoc;

namespace vimra::xml {

struct ReadPermit;

// The parts of a qualified name as written, split at its first colon: the
// local part (the whole name when there is no colon) and the prefix ("").
QString localPart(const QString& name);
QString prefixPart(const QString& name);
// Whether `name` may name an element or attribute in a well-formed file.
bool isName(const QString& name);
// `text` without the characters no XML 1.0 file can hold: controls other
// than tab, line feed and carriage return, U+FFFE, U+FFFF and surrogates
// that are not a pair. Every text and attribute value set on a node is
// taken so, and a paste into a field too.
QString storableText(const QString& text);

// A non-owning handle on a node of a Document. It stays valid while the node
// is part of its document.
class Node {
public:
    Node() = default;
    explicit Node(_xmlNode* node) : m_node(node) {}

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const Node& o) const { return m_node == o.m_node; }

    bool isElement() const;
    bool isProcessingInstruction() const;
    bool isComment() const;

    QString localName() const; // the name without its prefix
    QString prefix() const;    // "" when the name has none
    QString nodeName() const;  // the full name as written: prefix:local
    // All the text below this node, concatenated (a PI's data for a PI).
    QString text() const;

    // Attributes by full name as written ("xsi:noNamespaceSchemaLocation").
    bool hasAttribute(const QString& name) const;
    QString attribute(const QString& name) const;
    void setAttribute(const QString& name, const QString& value);
    void removeAttribute(const QString& name);
    std::vector<std::pair<QString, QString>> attributes() const;
    // The attribute {uri}localName whatever its prefix; a null text when absent.
    QString attributeNS(const QString& uri, const QString& localName) const;
    // The namespace this element itself declares for `prefix`; a null text
    // when it declares none.
    QString declaredNamespace(const QString& prefix) const;

    // A real namespace declaration (xmlns:prefix="uri") on this element:
    // replaces the URI when the prefix is already declared here, so a loaded
    // file never ends up with the declaration twice.
    void setNamespaceDeclaration(const QString& prefix, const QString& uri);
    // Sets the attribute {uri}localName, reusing whatever prefix the element
    // already has in scope for `uri` and declaring `prefix` otherwise.
    void setAttributeNS(const QString& uri, const QString& prefix, const QString& localName,
                        const QString& value);

    // Child nodes, leaving out text nodes that hold only white space (the
    // parser keeps them; the rest of the program never wants them).
    std::vector<Node> children() const;
    std::vector<Node> childElements() const;
    // The first child element whose local name is `localName` (any when empty).
    Node firstChildElement(const QString& localName = QString()) const;
    Node parent() const;

    // Appends a new element named `name` (the full name, prefix included),
    // in no namespace whatever the parent's: it is written as `name`.
    Node appendElement(const QString& name);
    // Appends text content, taken literally ('&' and '<' are escaped on save).
    void appendText(const QString& text);
    // Replaces all content by one text node.
    void setText(const QString& text);
    void removeChildren();
    // Unlinks and frees this node; the handle becomes null.
    void remove();

private:
    _xmlNode* m_node = nullptr;
};

// An owning XML document: load with the parser's reason on failure, walk,
// edit and save as UTF-8. The network is never used; a document with a
// DOCTYPE is validated against its DTD when it loads. Loading reads only a
// regular file of at most fs::kMaxReadSize bytes (decompressed, for a
// compressed one), never waits on a FIFO or device, refuses a document that
// declares a DTD of its own before a declaration is read (but for
// loadWithOwnDtd, which bounds its parameter entities instead), and refuses
// a document whose entity references are external,
// undeclared or stand for more text than a catalogue ever holds; a document
// the memory cannot hold is refused whole, never kept with text left out.
class Document {
public:
    Document();
    // No document at all (isNull()), for a holder that loads or makes its
    // own before using it.
    struct Null {};
    explicit Document(Null) noexcept {}
    ~Document();
    Document(Document&& other) noexcept;
    Document& operator=(Document&& other) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads no file but `path`: a DTD or entity the file names outside
    // itself is never read, so a DOCTYPE naming a file makes it invalid.
    bool load(const QString& path);
    // As load, and the DTD the file's DOCTYPE names is read too (that one
    // file, once, when it is a regular file; nothing it names in turn), as
    // is a subset of the file's own; neither may nest parameter entities.
    bool loadWithOwnDtd(const QString& path);
    bool loadXml(const QByteArray& text);
    // The reason the last load failed; never empty after a failure.
    QString parseErrorReason() const { return m_reason; }

    bool isNull() const { return m_doc == nullptr; }
    // A deep copy (a null document for a null one).
    Document clone() const;
    // Drops whatever was loaded and starts an empty document.
    void clear();

    Node documentElement() const;
    // Creates (or replaces) the root element.
    Node createRoot(const QString& name);

    // The document as UTF-8 text with its XML declaration.
    QByteArray toBytes(bool indent = false) const;
    // Writes atomically (fs::writeAtomically: a temporary file renamed into
    // place, synced at once or by the SyncBatch open on this thread); on failure answers
    // false with the reason in *error and leaves any previous file as it was.
    bool save(const QString& path, QString* error = nullptr, bool indent = false) const;

private:
    bool loadFile(const QString& path, bool bOwnDtd);
    bool parse(const QByteArray& bytes, const QByteArray& url, int options, ReadPermit& permit);
    bool finishLoad(_xmlDoc* doc, const QString& failure);

    _xmlDoc* m_doc = nullptr;
    QString m_reason;
};

} // namespace vimra::xml
