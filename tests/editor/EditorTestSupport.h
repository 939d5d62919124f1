#pragma once

#include "document/DocumentUi.h"
#include "records/SEColl.h"

#include <QStringList>

#include <initializer_list>
#include <memory>

namespace vimra::test {

// Counts the tree retitles the forms ask for. Installs itself for its lifetime.
class TitleRecorder : public NullDocumentUi {
public:
    TitleRecorder() { setDocumentUi(this); }
    ~TitleRecorder() override { setDocumentUi(nullptr); }
    void UpdateNodeTitle(const std::shared_ptr<DocObject>&) override { ++iCalls; }
    int iCalls = 0;
};

inline std::shared_ptr<StringList> listOf(std::initializer_list<QString> items)
{
    auto list = std::make_shared<StringList>();
    for (const QString& s : items)
        list->Add(s);
    return list;
}

// Appends an assigned field.
inline SEColl::Record addField(SEColl& c, int ty, const QString& name, const FieldValue& v,
                               bool bReadOnly = false, const QString& closeList = QString())
{
    return c.Add(ty, closeList, name, v, name + QStringLiteral(" comment"), false, bReadOnly, false, true);
}

// n assigned String fields named F1..Fn.
inline std::shared_ptr<SEColl> strings(int n)
{
    auto c = std::make_shared<SEColl>();
    for (int i = 1; i <= n; ++i)
        addField(*c, tyString, QStringLiteral("F%1").arg(i), QStringLiteral("v%1").arg(i));
    return c;
}

} // namespace vimra::test
