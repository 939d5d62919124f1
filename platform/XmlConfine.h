#pragma once

#include "platform/FileRead.h"

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>

// The guards every load of Xml.cpp runs under: which files a parse may read
// besides the one it parses, which declarations it may expand, and how much
// text its entities may stand for.

namespace vimra::xml {

// The files the parse running on this thread may read through the entity
// loader. An object file or the schema reads none: no external DTD or entity
// reaches a field, and no name a file gives (a FIFO, a device, another
// document's file) can stall the program or leak into a save. The vocabulary
// reads the one DTD its DOCTYPE names.
struct ReadPermit {
    // The vocabulary: its DOCTYPE's DTD is read once, and a subset of its own
    // is expanded under the bound below. Any other file declaring a DTD of
    // its own is refused before a declaration is read.
    bool bOwnDtd = false;
    bool bOwnDtdRead = false;
    // The text parameter entities were expanded into, each reference
    // counted as at least a few bytes: nested ones would otherwise keep the
    // parse busy for ever without much memory.
    qint64 parameterEntityText = 0;
    int iRefused = 0; // the message saying why the parse was stopped; 0 while it runs
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

// Installs on `ctxt` the hooks that stop its parses as the permit of the
// thread says (see ReadPermit), setting iRefused.
void guardParser(xmlParserCtxtPtr ctxt);

// Reads the compressed file `path` whole, decompressed: at most
// fs::kMaxReadSize bytes of text, TooLarge past that.
fs::ReadResult readDecompressed(const QString& path, QByteArray& bytes);

// Why the entity references of `doc` cannot be read (they are external,
// undeclared or stand for too much text); "" when they are sound.
QString entityFault(xmlDocPtr doc);

// Whether the parse ran out of memory, or met a text longer than it holds
// (10 MB). libxml2 then may still hand back a document, with the text it
// could not hold left out and no sign of it but this error.
bool bOutOfMemory(xmlParserCtxtPtr ctxt);

} // namespace vimra::xml
