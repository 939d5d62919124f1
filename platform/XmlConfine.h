#pragma once

#include <QString>

#include <libxml/parser.h>

// The guards every load of Xml.cpp runs under: which files a parse may read
// besides the one it parses, and how much text its entities may stand for.

namespace vimra::xml {

// The files the parse running on this thread may read through the entity
// loader. An object file or the schema reads none: no external DTD or entity
// reaches a field, and no name a file gives (a FIFO, a device, another
// document's file) can stall the program or leak into a save. The vocabulary
// reads the one DTD its DOCTYPE names.
struct ReadPermit {
    QString compressedFile; // the file parsed, when only the parser can decompress it
    bool bOwnDtd = false;
    bool bTooLarge = false; // the decompressed text went past the limit
};

// Makes `permit` the one the entity loader answers by on this thread.
class PermitScope {
public:
    explicit PermitScope(ReadPermit& permit);
    ~PermitScope();
    PermitScope(const PermitScope&) = delete;
    PermitScope& operator=(const PermitScope&) = delete;

private:
    ReadPermit* m_saved;
};

// The entity loader of every parse (validation's too): it reads only what
// the permit of the thread allows, and nothing where there is none.
xmlParserInputPtr confinedLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt);

// Why the entity references of `doc` cannot be read (they are external,
// undeclared or stand for too much text); "" when they are sound.
QString entityFault(xmlDocPtr doc);

// Whether the parse ran out of memory, or met a text longer than it holds
// (10 MB). libxml2 then may still hand back a document, with the text it
// could not hold left out and no sign of it but this error.
bool bOutOfMemory(xmlParserCtxtPtr ctxt);

} // namespace vimra::xml
