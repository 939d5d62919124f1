#include "records/SchemaElement.h"

#include "resources/MessageIds.h"
#include "resources/StringTable.h"

namespace vimra {

QString SchemaElement::strType() const
{
    switch (tyType) {
    case tyString: return QStringLiteral("String");
    case tyInteger: return QStringLiteral("Integer");
    case tyDate: return QStringLiteral("Date");
    case tyBool: return QStringLiteral("Bool");
    case tySetOfStrings: return QStringLiteral("SetOfStrings");
    case tyReal: return QStringLiteral("Real");
    case tyCloseList: return strCloseList + QStringLiteral(" (CloseList)");
    case tyChunkTime: return QStringLiteral("ChunkTime");
    case tyWordList: return QStringLiteral("WordList");
    case tySetOfGUIDs: return QStringLiteral("SetOfGUIDs");
    case tyUnknow: return QStringLiteral("Unknow");
    default: return {};
    }
}

bool SchemaElement::bIsHumanReadable() const
{
    return tyType >= tyString && tyType <= tyCloseList;
}

void SchemaElement::Init(const CloseListRegistry* closeLists)
{
    switch (tyType) {
    case tyString: vContent = text(msg::NotAssigned); break;
    case tyInteger: vContent = 0; break;
    case tyDate: vContent = QStringLiteral("01/01/2001"); break;
    case tyBool: vContent = false; break;
    case tySetOfStrings: {
        auto list = std::make_shared<StringList>();
        list->Add(text(msg::NotAssigned));
        vContent = list;
        break;
    }
    case tyReal: vContent = 0.0; break;
    case tyCloseList:
        if (closeLists) {
            if (auto cl = closeLists->Find(strCloseList); cl && *cl && (*cl)->colItems
                && (*cl)->colItems->Count() > 0)
                vContent = (*cl)->colItems->Item(1);
        }
        break;
    default: break;
    }
}

} // namespace vimra
