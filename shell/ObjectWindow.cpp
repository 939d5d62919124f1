#include "shell/ObjectWindow.h"

#include "document/DocObject.h"
#include "records/SEColl.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace vimra {

namespace {

QString shownValue(const FieldValue& value)
{
    if (const auto list = valueObject<StringList>(value))
        return QStringList(list->begin(), list->end()).join(QStringLiteral("; "));
    return valueToText(value);
}

} // namespace

void ObjectWindow::Show(UiOwner* owner)
{
    const auto obj = m_obj.lock();
    if (!obj)
        return;
    QDialog window(qobject_cast<QWidget*>(owner));
    window.setWindowTitle(obj->strTitle());
    auto* fields = new QListWidget(&window);
    if (const auto secol = obj->secol()) {
        for (const auto& field : *secol)
            if (field->bValid)
                fields->addItem(field->strName + QStringLiteral(": ") + shownValue(field->vContent));
    }
    fields->setSelectionMode(QAbstractItemView::NoSelection);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(fields);
    layout->addWidget(buttons);
    window.resize(480, 360);
    window.exec();
}

std::shared_ptr<EditorWindow> ObjectWindowFactory::create(const QString& strClass)
{
    if (strEditorFormFor(strClass).isEmpty())
        return nullptr;
    return std::make_shared<ObjectWindow>();
}

} // namespace vimra
