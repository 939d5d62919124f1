#pragma once

#include "records/ValueTypes.h"

#include <QString>

namespace vimra {

// Field type codes.
enum TypeCode : int {
    tyString = 0,
    tyInteger = 1,
    tyDate = 2,
    tyBool = 3,
    tySetOfStrings = 4,
    tyReal = 5,
    tyCloseList = 6,
    tyChunkTime = 7,
    tyWordList = 8,
    tySetOfGUIDs = 9,
    tyUnknow = 10,
};

// One metadata field of one document object.
struct SchemaElement {
    int tyType = tyString;
    QString strCloseList;
    QString strName;
    FieldValue vContent;
    QString strComment;
    bool bReadOnly = false;
    bool bChanged = false;
    bool bValid = false;
    bool bIgnore = false;

    // The display name of the type code ("" outside 0..10).
    QString strType() const;
    // Codes 0 to 6 are shown in the editor forms.
    bool bIsHumanReadable() const;
    // Gives vContent the default of its type; touches no flag. A closed-list
    // field whose list is not in `closeLists` (or with no registry) keeps its value.
    void Init(const CloseListRegistry* closeLists);
};

} // namespace vimra
