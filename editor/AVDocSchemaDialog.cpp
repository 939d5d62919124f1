#include "editor/AVDocSchemaDialog.h"

#include "editor/PaneForm.h"
#include "platform/Prompts.h"
#include "widgets/Guarded.h"
#include "widgets/Twips.h"

#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace vimra {

void AVDocSchemaDialog::ShowDialog(UiOwner* owner, const std::shared_ptr<SEColl>& secol)
{
    m_model.Load(secol);
    QDialog window(qobject_cast<QWidget*>(owner));
    window.setObjectName(QStringLiteral("AVDocSchemaDialog"));
    window.setWindowTitle(QStringLiteral("Assiigned/Unassigned flags"));
    window.setFixedSize(twipsToPixels(6075), twipsToPixels(6030));

    auto* list = new QTreeWidget(&window);
    list->setObjectName(QStringLiteral("ListView1"));
    list->setAccessibleName(QStringLiteral("Fields"));
    list->setGeometry(toPixels({240, 240, 5295, 4335}));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Valid"), QStringLiteral("Attribute Name"), QStringLiteral("Type"),
                           QStringLiteral("Comment")});
    for (int k = 1; k <= m_model.Count(); ++k) {
        const auto el = secol->Item(k);
        auto* row = new QTreeWidgetItem(list, {QString(), el->strName, el->strType(), el->strComment});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, m_model.bTicked(k) ? Qt::Checked : Qt::Unchecked);
        row->setToolTip(1, el->strComment);
        row->setToolTip(3, el->strComment);
    }
    // A quarter of the width each, widened so that no header, name or type
    // is cut; the comment runs on under its tooltip.
    const double w = 5295;
    list->setColumnWidth(0, twipsToPixels(w / 6));
    for (int c = 1; c <= 2; ++c) {
        list->resizeColumnToContents(c);
        list->setColumnWidth(c, std::max(list->columnWidth(c), twipsToPixels(w / 4)));
    }
    list->setColumnWidth(3, twipsToPixels(w / 4));
    QObject::connect(list, &QTreeWidget::itemChanged, &window, [this, list](QTreeWidgetItem* row, int column) {
        if (column != 0)
            return;
        const int k = list->indexOfTopLevelItem(row) + 1;
        const bool ticked = row->checkState(0) == Qt::Checked;
        if (guarded(false, [&] { return m_model.setTicked(k, ticked); }))
            return;
        // A protected field keeps its flag: the tick goes straight back.
        prompts().Beep();
        const QSignalBlocker block(list);
        row->setCheckState(0, m_model.bTicked(k) ? Qt::Checked : Qt::Unchecked);
    });

    auto* ok = new QPushButton(QStringLiteral("OK"), &window);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    ok->setObjectName(QStringLiteral("OKButton"));
    cancel->setObjectName(QStringLiteral("CancelButton"));
    ok->setGeometry(toPixels({840, 5160, 1215, 375}));
    cancel->setGeometry(toPixels({3720, 5160, 1215, 375}));
    QObject::connect(ok, &QPushButton::clicked, &window, [this, &window] {
        if (guarded([&] { m_model.OK(currentCloseLists()); })) {
            m_bCancel = false;
            window.accept();
        }
    });
    QObject::connect(cancel, &QPushButton::clicked, &window, [this, &window] {
        window.reject();
        m_bCancel = true;
    });

    m_window = &window;
    window.exec();
    m_window = nullptr;
}

} // namespace vimra
