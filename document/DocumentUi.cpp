#include "document/DocumentUi.h"

#include "document/Expression.h"

#include "platform/Installed.h"
#include "resources/StringTable.h"

namespace vimra {

void DocumentUi::SegmentsChanged(const std::shared_ptr<Expression>& expr,
                                 const std::vector<std::shared_ptr<Expression>>&,
                                 const std::vector<std::shared_ptr<Expression>>&)
{
    ResetTree(Tree::tvwExpression, expr ? expr->verVersion() : nullptr);
}

DocumentUi& documentUi() { return Installed<DocumentUi, NullDocumentUi>::get(); }

void setDocumentUi(DocumentUi* ui) { Installed<DocumentUi, NullDocumentUi>::set(ui); }

void showObjectProgress(int iMsgId, int iNumber, const QString& strTitle)
{
    documentUi().setStrStatusBarText(text(iMsgId) + QLatin1Char(' ') + QString::number(iNumber)
                                     + QStringLiteral(" (") + strTitle + QLatin1Char(')'));
}

} // namespace vimra
