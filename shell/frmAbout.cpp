#include "shell/frmAbout.h"

#include "platform/Prompts.h"
#include "records/Settings.h"
#include "shell/Icons.h"
#include "shell/frmSplash.h"
#include "widgets/LocalizeForm.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace vimra {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setTag(this, QStringLiteral("1061"));
    setModal(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(vimraLogo(48));
    picIcon->setAlignment(Qt::AlignTop);
    const auto label = [this](const char* name, const char* tagId) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        setTag(l, QString::fromLatin1(tagId));
        return l;
    };
    lblTitle = label("lblTitle", "1066");
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = label("lblVersion", "1065");
    lblDescription = label("lblDescription", "1067");
    auto* Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    setTag(cmdOK, QStringLiteral("1063"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    setTag(cmdSysInfo, QStringLiteral("1062"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(Line1, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 280);

    Form_Load();
}

void frmAbout::Form_Load()
{
    LocalizeForm(this);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(frmSplash::kMajor)
                            .arg(frmSplash::kMinor)
                            .arg(frmSplash::kRevision));
    lblTitle->setText(Prompts::defaultTitle());
    for (QLabel* l : {lblTitle, lblVersion, lblDescription})
        l->setAccessibleName(l->text());
}

void frmAbout::StartSysInfo()
{
    QString program;
    if (bRegQueryValue(QStringLiteral("SysInfoPath"), program) && !program.trimmed().isEmpty()
        && QProcess::startDetached(program.trimmed(), {}))
        return;
    prompts().MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), Prompts::OKOnly,
                     Prompts::NoIcon);
}

} // namespace vimra
