#include "shell/WidgetPrompts.h"

#include "platform/Xml.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace vimra {

namespace {

// The window a box belongs to. Never the splash: its timer unloads it, and
// a box it owned would go with it while still open.
QWidget* owner()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    while (w && w->windowType() == Qt::SplashScreen)
        w = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    return w;
}

QString titleOrDefault(const QString& title)
{
    return title.isEmpty() ? Prompts::defaultTitle() : title;
}

QMessageBox::Icon boxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Critical: return QMessageBox::Critical;
    case Prompts::Question: return QMessageBox::Question;
    case Prompts::Exclamation: return QMessageBox::Warning;
    case Prompts::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// The buttons in their classic order; the first is the default.
QList<QMessageBox::StandardButton> boxButtons(Prompts::Buttons buttons)
{
    switch (buttons) {
    case Prompts::OKCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case Prompts::AbortRetryIgnore: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case Prompts::YesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case Prompts::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case Prompts::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
    }
}

int answerOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return Prompts::Ok;
    case QMessageBox::Cancel: return Prompts::Cancel;
    case QMessageBox::Abort: return Prompts::Abort;
    case QMessageBox::Retry: return Prompts::Retry;
    case QMessageBox::Ignore: return Prompts::Ignore;
    case QMessageBox::Yes: return Prompts::Yes;
    case QMessageBox::No: return Prompts::No;
    default: return Prompts::Cancel;
    }
}

} // namespace

int WidgetPrompts::MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    QMessageBox box(boxIcon(icon), titleOrDefault(title), text, QMessageBox::NoButton, owner());
    // Messages carry titles and paths read from the document: markup in
    // them is shown as written, never rendered (an image would be read from disk).
    box.setTextFormat(Qt::PlainText);
    const auto standard = boxButtons(buttons);
    for (QMessageBox::StandardButton b : standard)
        box.addButton(b);
    box.setDefaultButton(standard.front());
    // Escape answers as closing the box would: Cancel where there is one,
    // OK on a lone OK; Yes/No and Abort/Retry/Ignore need a choice.
    if (standard.contains(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (standard.size() == 1)
        box.setEscapeButton(standard.front());
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return standard.contains(QMessageBox::Cancel) ? Cancel : answerOf(standard.front());
    return answerOf(box.standardButton(clicked));
}

QString WidgetPrompts::InputBox(const QString& prompt, const QString& title,
                                const QString& defaultText)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(owner(), titleOrDefault(title), prompt,
                                                QLineEdit::Normal, defaultText, &ok);
    // A pasted character no file can hold goes, as in the metadata fields.
    return ok ? xml::storableText(typed) : QString();
}

QString WidgetPrompts::OpenFileName(const QString& title, const QString& filter,
                                    const QString& startPath)
{
    return QFileDialog::getOpenFileName(owner(), title, startPath, filter);
}

QString WidgetPrompts::SaveFileName(const QString& title, const QString& filter,
                                    const QString& startPath)
{
    // The caller confirms overwriting: it may still add an extension, and
    // the dialog would ask about the name as typed.
    return QFileDialog::getSaveFileName(owner(), title, startPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void WidgetPrompts::Beep() { QApplication::beep(); }

} // namespace vimra
