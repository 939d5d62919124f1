#pragma once

#include "platform/Prompts.h"

namespace vimra {

// The program's real boxes: message boxes, input boxes and file dialogs,
// owned by the active window.
class WidgetPrompts : public Prompts {
public:
    int MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString OpenFileName(const QString& title, const QString& filter,
                         const QString& startPath) override;
    QString SaveFileName(const QString& title, const QString& filter,
                         const QString& startPath) override;
    void Beep() override;
};

} // namespace vimra
