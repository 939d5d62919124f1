#pragma once

#include "document/DocObject.h"
#include "document/DocumentUi.h"
#include "editor/PaneForm.h"
#include "records/SEColl.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <functional>

#include <initializer_list>
#include <memory>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

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

// Shows the object's form and runs `act` on its window, which is then closed
// if `act` left it open; false when no window opened.
inline bool showForm(DocObject& obj, const PaneForm& form, const std::function<void(PaneDialog*)>& act)
{
    bool bOpened = false;
    QTimer::singleShot(0, [&] {
        if (PaneDialog* window = form.window()) {
            bOpened = true;
            act(window);
            if (form.window())
                window->reject();
        }
    });
    obj.ShowForm(nullptr);
    QCoreApplication::processEvents(); // a window that never opened leaves the timer pending
    return bOpened;
}

} // namespace vimra::test
