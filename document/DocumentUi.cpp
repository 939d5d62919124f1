#include "document/DocumentUi.h"

namespace vimra {

namespace {

DocumentUi* g_ui = nullptr;

} // namespace

DocumentUi& documentUi()
{
    static NullDocumentUi nullUi;
    return g_ui ? *g_ui : nullUi;
}

void setDocumentUi(DocumentUi* ui)
{
    g_ui = ui;
}

} // namespace vimra
