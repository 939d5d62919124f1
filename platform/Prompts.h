#pragma once

#include <QString>

namespace vimra {

// Every message box, input box and file dialog of the program goes through
// this interface, so the logic below the windows can be driven from tests.
class Prompts {
public:
    // Answers, numbered as the classic message-box results.
    enum Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
    enum Buttons { OKOnly = 0, OKCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
    enum Icon { NoIcon = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };

    virtual ~Prompts() = default;

    static QString defaultTitle() { return QStringLiteral("vimra"); }

    virtual int MsgBox(const QString& text, Buttons buttons = OKOnly, Icon icon = NoIcon,
                       const QString& title = defaultTitle()) = 0;
    // The typed text; "" when the box was cancelled or left empty.
    virtual QString InputBox(const QString& prompt, const QString& title = defaultTitle(),
                             const QString& defaultText = QString()) = 0;
    // The chosen path; "" when cancelled. `filter` is in Qt's "Name (*.a *.b)" form.
    virtual QString OpenFileName(const QString& title, const QString& filter,
                                 const QString& startPath = QString()) = 0;
    virtual QString SaveFileName(const QString& title, const QString& filter,
                                 const QString& startPath = QString()) = 0;
    virtual void Beep() = 0;
};

// Answers every box with its default (OK, Yes, empty text) without showing
// anything; used until the program installs its real dialogs.
class SilentPrompts : public Prompts {
public:
    int MsgBox(const QString&, Buttons buttons, Icon, const QString&) override;
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    void Beep() override {}
};

// The prompts in force; never null.
Prompts& prompts();
// Installs `p` (nullptr restores the silent default). The caller keeps ownership.
void setPrompts(Prompts* p);

} // namespace vimra
