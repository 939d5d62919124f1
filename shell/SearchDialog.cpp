#include "shell/SearchDialog.h"

#include "document/AVDocument.h"
#include "document/Video.h"
#include "records/AppState.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "shell/PictureList.h"
#include "widgets/Guarded.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vimra {

namespace {

QDialogButtonBox* okCancel(QDialog* dialog, const char* okName, const char* cancelName)
{
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QString::fromLatin1(okName));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QString::fromLatin1(cancelName));
    return buttons;
}

} // namespace

SearchDialog::SearchDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SearchDialog"));
    setModal(true);
    auto* Label1 = new QLabel(QStringLiteral("Find What:"), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(Label1->text());
    Text1->setMinimumWidth(260);
    Label1->setBuddy(Text1);
    Check1 = new QCheckBox(QStringLiteral("Mach Case"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Single Word"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    QDialogButtonBox* buttons = okCancel(this, "OKButt", "CancelButt");
    connect(buttons, &QDialogButtonBox::accepted, this, &SearchDialog::OKButt_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &SearchDialog::CancelButt_Click);

    auto* find = new QHBoxLayout;
    find->addWidget(Label1);
    find->addWidget(Text1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(find);
    layout->addWidget(Check1);
    layout->addWidget(Check2);
    layout->addWidget(buttons);
}

void SearchDialog::Form_Load()
{
    Text1->setText(m_strText);
    Text1->selectAll();
    Check1->setChecked(m_bMatchCase);
    Check2->setChecked(m_bSingleWord);
    setWindowTitle(text(msg::SearchPrompt));
    m_bCancelPressed = false;
}

void SearchDialog::OKButt_Click()
{
    m_strText = Text1->text();
    m_bMatchCase = Check1->isChecked();
    m_bSingleWord = Check2->isChecked();
    accept();
}

void SearchDialog::CancelButt_Click()
{
    m_bCancelPressed = true;
    QDialog::reject();
}

SearchResultDialog::SearchResultDialog(const PictureList& imlTreeIcons, KeyframeIcon keyframeIcon, QWidget* parent)
    : QDialog(parent), m_imlTreeIcons(imlTreeIcons), m_keyframeIcon(std::move(keyframeIcon))
{
    setObjectName(QStringLiteral("SearchResultDialog"));
    setWindowTitle(QStringLiteral("Search results"));
    setModal(true);
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(windowTitle());
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->viewport()->installEventFilter(this);
    QDialogButtonBox* buttons = okCancel(this, "OKButton", "CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView1);
    layout->addWidget(buttons);
    resize(520, 320);
}

void SearchResultDialog::ShowDialog(const QString& strText, bool bMatchCase, bool bSingleWord)
{
    m_strText = strText;
    m_bMatchCase = bMatchCase;
    m_bSingleWord = bSingleWord;
    Form_Load();
}

void SearchResultDialog::Form_Load()
{
    ListView1->clear();
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Title"), QStringLiteral("Number of founds")});
    FillResults(m_strText, m_bMatchCase);
}

void SearchResultDialog::showEvent(QShowEvent* event)
{
    // The list has its width only once the window is laid out for showing.
    QDialog::showEvent(event);
    const int third = ListView1->viewport()->width() / 3;
    for (int c = 0; c < 3; ++c)
        ListView1->setColumnWidth(c, third);
}

void SearchResultDialog::FillResults(const QString& strText, bool bMatchCase)
{
    m_rowObjects.clear();
    const auto doc = appState().objAVDoc;
    if (!doc)
        return; // nothing is open: nothing is found
    for (const auto& item : doc->collObjects()) {
        const auto obj = std::dynamic_pointer_cast<DocObject>(item);
        if (!obj || !obj->secol() || item->bIsClass("MediaObject"))
            continue;
        const int n = obj->secol()->iSearchText(strText, bMatchCase);
        if (n <= 0)
            continue;
        const QString strClass = obj->className();
        // A segment shows its keyframe icon, made now if its node never was.
        const auto video = std::dynamic_pointer_cast<Video>(obj);
        const QPixmap picture = video && video->objMainExpr() ? m_keyframeIcon(video) : m_imlTreeIcons.Item(strClass);
        auto* row = new QTreeWidgetItem(ListView1, {strClass, obj->strTitle(), QString::number(n)});
        row->setIcon(0, QIcon(picture));
        m_rowObjects.push_back(obj);
    }
}

void SearchResultDialog::ListView1_Click()
{
    const auto doc = appState().objAVDoc;
    for (int i = 0; i < ListView1->topLevelItemCount() && i < int(m_rowObjects.size()); ++i) {
        if (!ListView1->topLevelItem(i)->isSelected())
            continue;
        // An object an earlier editor removed could never be saved again.
        const auto& obj = m_rowObjects[size_t(i)];
        if (!doc || doc->collObjects().IndexOf(obj) <= 0)
            continue;
        guarded([&] { obj->ShowForm(this); });
    }
}

bool SearchResultDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Any click in the list counts, on a row or on the space below the rows.
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        ListView1_Click();
    return QDialog::eventFilter(watched, event);
}

} // namespace vimra
