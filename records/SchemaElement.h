#pragma once

#include "records/ValueTypes.h"

#include <QString>

#include <memory>

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

// A field's changed mark. A mark in a field collection keeps the
// collection's count of changed fields current, so that a save asks every
// object whether anything changed without walking every field.
class ChangedMark {
public:
    ChangedMark(bool value = false) : m_value(value) {}
    // A copy belongs to no collection.
    ChangedMark(const ChangedMark& other) : m_value(other.m_value) {}
    ChangedMark& operator=(const ChangedMark& other) { return *this = other.m_value; }
    ChangedMark& operator=(bool value)
    {
        if (m_count && value != m_value)
            *m_count += value ? 1 : -1;
        m_value = value;
        return *this;
    }
    operator bool() const { return m_value; }

    // Counts this mark in `count` from now on (none: in no count).
    void countIn(const std::shared_ptr<int>& count)
    {
        if (m_count && m_value)
            --*m_count;
        m_count = count;
        if (m_count && m_value)
            ++*m_count;
    }

private:
    bool m_value;
    std::shared_ptr<int> m_count;
};

// One metadata field of one document object.
struct SchemaElement {
    int tyType = tyString;
    QString strCloseList;
    QString strName;
    FieldValue vContent;
    QString strComment;
    bool bReadOnly = false;
    ChangedMark bChanged = false;
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
