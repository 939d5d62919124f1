#include "document/DocumentUi.h"

#include "platform/Installed.h"

namespace vimra {

DocumentUi& documentUi() { return Installed<DocumentUi, NullDocumentUi>::get(); }

void setDocumentUi(DocumentUi* ui) { Installed<DocumentUi, NullDocumentUi>::set(ui); }

} // namespace vimra
