#include "widgets/LocalizeForm.h"

#include "records/Procedures.h"
#include "resources/StringTable.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QWidget>

namespace vimra {

namespace {

constexpr const char* kTagProperty = "vbTag";

// The table's text for a strictly read id, or none.
std::optional<QString> strictText(const QString& id)
{
    const auto n = strictInt16(id);
    return n ? tryText(*n) : std::nullopt;
}

void localizeMenuActions(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (auto t = strictText(action->text()))
            action->setText(*t);
        if (QMenu* sub = action->menu())
            localizeMenuActions(sub->actions());
    }
}

void localizeHeader(QTreeWidget* tree)
{
    QTreeWidgetItem* header = tree->headerItem();
    for (int c = 0; header && c < tree->columnCount(); ++c)
        if (auto t = strictText(header->data(c, Qt::UserRole).toString()))
            header->setText(c, *t);
}

void localizeHeader(QTableWidget* table)
{
    for (int c = 0; c < table->columnCount(); ++c)
        if (QTableWidgetItem* item = table->horizontalHeaderItem(c))
            if (auto t = strictText(item->data(Qt::UserRole).toString()))
                item->setText(*t);
}

// Any other control: a leading number above zero in the Tag is its caption's
// id; a tooltip starting with a number of at least one is replaced likewise.
void localizeOther(QWidget* w)
{
    const auto n = leadingInt16(tag(w));
    if (n && *n > 0) {
        if (auto t = tryText(*n)) {
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                button->setText(*t);
            else if (auto* group = qobject_cast<QGroupBox*>(w))
                group->setTitle(*t);
        }
    }
    const auto m = leadingInt16(w->toolTip());
    if (m && *m >= 1)
        if (auto t = tryText(*m))
            w->setToolTip(*t);
}

void localizeControl(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (auto t = strictText(tag(label)))
            label->setText(*t);
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (auto t = strictText(tabs->tabData(i).toString()))
                tabs->setTabText(i, *t);
            if (auto t = strictText(tabs->tabToolTip(i)))
                tabs->setTabToolTip(i, *t);
        }
    } else if (auto* toolbar = qobject_cast<QToolBar*>(w)) {
        for (QAction* action : toolbar->actions())
            if (!action->isSeparator())
                if (auto t = strictText(action->toolTip()))
                    action->setToolTip(*t);
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
        localizeHeader(tree);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        localizeHeader(table);
    } else if (qobject_cast<QMenuBar*>(w) || qobject_cast<QMenu*>(w)) {
        // Menus are done through their actions, below.
    } else {
        localizeOther(w);
    }
}

} // namespace

void setTag(QObject* object, const QString& tag) { object->setProperty(kTagProperty, tag); }

QString tag(const QObject* object) { return object->property(kTagProperty).toString(); }

std::optional<int> leadingInt16(const QString& text)
{
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const int start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const int digitsFrom = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
    }
    bool ok = false;
    const double d = text.mid(start, i - start).toDouble(&ok);
    if (!ok || i == digitsFrom)
        return 0;
    return roundedInt16(d);
}

void LocalizeForm(QWidget* window)
{
    if (!window)
        return;
    if (auto t = strictText(tag(window)))
        window->setWindowTitle(*t);

    // The face name and size come from ids 20 and 21; where the table has
    // them not, the window keeps its designed font (children inherit it).
    QFont font = window->font();
    if (auto face = tryText(20))
        font.setFamily(*face);
    if (auto size = tryText(21))
        if (auto points = strictInt16(*size); points && *points > 0)
            font.setPointSize(*points);
    if (font != window->font())
        window->setFont(font);

    for (QWidget* control : window->findChildren<QWidget*>())
        localizeControl(control);

    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        localizeMenuActions(bar->actions());
}

} // namespace vimra
