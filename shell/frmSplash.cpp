#include "shell/frmSplash.h"

#include "shell/Icons.h"
#include "widgets/LocalizeForm.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vimra {

namespace {

QLabel* taggedLabel(QWidget* parent, const char* name, const QString& tagText)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    if (!tagText.isEmpty())
        setTag(label, tagText);
    return label;
}

} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    fraMainFrame = new QFrame(this);
    fraMainFrame->setObjectName(QStringLiteral("fraMainFrame"));
    fraMainFrame->setFrameShape(QFrame::Box);
    outer->addWidget(fraMainFrame);

    picLogo = new QLabel(fraMainFrame);
    picLogo->setObjectName(QStringLiteral("picLogo"));
    picLogo->setPixmap(vimraLogo(96));
    lblProductName = taggedLabel(fraMainFrame, "lblProductName", QStringLiteral("1059"));
    lblCompanyProduct = taggedLabel(fraMainFrame, "lblCompanyProduct", QStringLiteral("1058"));
    lblPlatform = taggedLabel(fraMainFrame, "lblPlatform", QStringLiteral("1057"));
    lblVersion = taggedLabel(fraMainFrame, "lblVersion", QStringLiteral("1056"));
    lblDeveloper = taggedLabel(fraMainFrame, "lblDeveloper", QString());
    lblDeveloper->setText(QStringLiteral("Built with C++ and Qt"));

    QFont big = lblProductName->font();
    big.setPointSize(24);
    big.setBold(true);
    lblProductName->setFont(big);

    auto* grid = new QGridLayout(fraMainFrame);
    grid->setContentsMargins(18, 18, 18, 18);
    grid->setHorizontalSpacing(18);
    grid->addWidget(picLogo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblCompanyProduct, 0, 1);
    grid->addWidget(lblProductName, 1, 1);
    grid->addWidget(lblPlatform, 2, 1, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(lblVersion, 3, 1, Qt::AlignRight);
    grid->addWidget(lblDeveloper, 4, 0, 1, 2);
    grid->setRowStretch(2, 1);

    Form_Load();
}

void frmSplash::Form_Load()
{
    LocalizeForm(this);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision));
    lblProductName->setText(QStringLiteral("vimra"));
    QFont font = lblCompanyProduct->font();
    font.setPointSize(16);
    lblCompanyProduct->setFont(font);
}

} // namespace vimra
