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
    // Made in one piece: an open shows one for every object.
    const QString what = text(iMsgId);
    const QString number = QString::number(iNumber);
    QString line;
    line.reserve(what.size() + number.size() + strTitle.size() + 4);
    line.append(what).append(QLatin1Char(' ')).append(number).append(QLatin1String(" (")).append(strTitle).append(
        QLatin1Char(')'));
    documentUi().setStrStatusBarText(line);
}

} // namespace vimra
