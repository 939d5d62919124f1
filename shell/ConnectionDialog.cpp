#include "shell/ConnectionDialog.h"

#include "platform/Prompts.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "widgets/LocalizeForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace vimra {

bool ConnectionSettings::bRead()
{
    return vReadConnectionSettings(strAddress, iPort, strName, strHTTP);
}

bool ConnectionSettings::bSave() const
{
    return SaveConnectionSettings(strAddress, iPort, strName, strHTTP);
}

ConnectionSettings ConnectionSettings::withDefaults() const
{
    ConnectionSettings s = *this;
    if (s.iPort == 0)
        s.iPort = kDefaultPort;
    if (s.strName.isEmpty())
        s.strName = defaultName();
    return s;
}

PortEdit portEdit(const QString& text)
{
    if (text.isEmpty())
        return {};
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return {PortEdit::Refuse};
    const double whole = std::floor(number);
    if (whole >= 0 && whole <= 32767)
        return {PortEdit::Accept, int(whole)};
    if (whole < 0 && whole >= -32768)
        return {PortEdit::Refuse};
    return {};
}

std::optional<int> portOnOk(const QString& text)
{
    const auto port = strictInt16(text);
    if (port && *port >= 0)
        return port;
    return std::nullopt;
}

ConnectionDialog::ConnectionDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ConnectionDialog"));
    setWindowTitle(QStringLiteral("Connection Parameters"));
    setTag(this, QString::number(msg::ConnectionParameters));
    setModal(true);

    auto* form = new QFormLayout;
    const auto addBox = [&](QLineEdit*& box, const char* name, int labelId, int tipId) {
        box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setToolTip(QString::number(tipId));
        box->setMinimumWidth(320);
        auto* label = new QLabel(QString::number(labelId), this);
        setTag(label, QString::number(labelId));
        label->setBuddy(box);
        form->addRow(label, box);
        m_labels[m_labelCount++] = label;
    };
    addBox(Text1, "Text1", 1151, 1152);
    addBox(Text2, "Text2", 1153, 1154);
    addBox(Text3, "Text3", 1155, 1156);
    addBox(Text4, "Text4", 1157, 1158);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    setTag(cancel, QString::number(msg::Cancel));
    connect(ok, &QPushButton::clicked, this, &ConnectionDialog::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &ConnectionDialog::CancelButton_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(Text1, &QLineEdit::textChanged, this, &ConnectionDialog::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &ConnectionDialog::Text2_Change);
    connect(Text3, &QLineEdit::textChanged, this, &ConnectionDialog::Text3_Change);
    connect(Text4, &QLineEdit::textChanged, this, &ConnectionDialog::Text4_Change);
}

void ConnectionDialog::Form_Load()
{
    LocalizeForm(this);
    for (QLabel* label : m_labels)
        label->buddy()->setAccessibleName(label->text());
    // Filling the boxes runs their change handlers, which mark a change.
    const ConnectionSettings shown = values;
    Text1->setText(shown.strAddress);
    Text2->setText(QString::number(shown.iPort));
    Text3->setText(shown.strName);
    Text4->setText(shown.strHTTP);
    m_bChanged = false;
}

void ConnectionDialog::Text1_Change()
{
    m_bChanged = true;
    values.strAddress = Text1->text();
}

void ConnectionDialog::Text2_Change()
{
    if (m_bResettingPort)
        return;
    const PortEdit edit = portEdit(Text2->text());
    if (edit.kind == PortEdit::Accept) {
        values.iPort = edit.iPort;
        m_bChanged = true;
    } else if (edit.kind == PortEdit::Refuse) {
        prompts().MsgBox(text(msg::PortNotPositive), Prompts::OKOnly, Prompts::Exclamation);
        m_bResettingPort = true;
        Text2->setText(QString::number(values.iPort));
        m_bResettingPort = false;
    }
}

void ConnectionDialog::Text3_Change()
{
    m_bChanged = true;
    values.strName = Text3->text();
}

void ConnectionDialog::Text4_Change()
{
    m_bChanged = true;
    values.strHTTP = Text4->text();
}

void ConnectionDialog::OKButton_Click()
{
    values.strAddress = Text1->text();
    // A box with no valid port keeps the last valid one.
    if (const auto port = portOnOk(Text2->text()))
        values.iPort = *port;
    values.strName = Text3->text();
    values.strHTTP = Text4->text();
    accept();
}

void ConnectionDialog::CancelButton_Click()
{
    m_bChanged = false;
    reject();
}

void ConnectionDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelButton_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void GetConnectionSettings(ConnectionDialog& dialog, const std::function<void(QDialog*)>& show,
                           ConnectionSettings& values, bool& bForce)
{
    const bool ok = values.bRead();
    if (ok && !bForce)
        return;
    dialog.values = values.withDefaults();
    dialog.Form_Load();
    show(&dialog);
    if (dialog.bChanged()) {
        values = dialog.values;
        bForce = true;
    } else {
        bForce = false;
    }
}

} // namespace vimra
