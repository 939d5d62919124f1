#pragma once

#include "platform/Prompts.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace vimra::test {

// Records every box and answers from a script; an unscripted box gets the
// default answer (OK, Yes, empty text). Installs itself for its lifetime.
class FakePrompts : public Prompts {
public:
    struct Call {
        QString kind; // "msg", "input", "open", "save", "beep"
        QString text;
        int buttons = 0;
        int icon = 0;
        QString title;
    };

    FakePrompts() { setPrompts(this); }
    ~FakePrompts() override { setPrompts(nullptr); }

    std::vector<Call> calls;
    std::deque<int> answers;       // for MsgBox
    std::deque<QString> texts;     // for InputBox and the file dialogs
    // Run once, inside the next message box, as what the user does while it is shown.
    std::function<void()> whileOpen;

    int MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        calls.push_back({"msg", text, buttons, icon, title});
        if (whileOpen)
            std::exchange(whileOpen, nullptr)();
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return SilentPrompts().MsgBox(text, buttons, icon, title);
    }
    QString InputBox(const QString& prompt, const QString& title, const QString&) override
    {
        calls.push_back({"input", prompt, 0, 0, title});
        return nextText();
    }
    QString OpenFileName(const QString& title, const QString& filter, const QString&) override
    {
        calls.push_back({"open", filter, 0, 0, title});
        return nextText();
    }
    QString SaveFileName(const QString& title, const QString& filter, const QString&) override
    {
        calls.push_back({"save", filter, 0, 0, title});
        return nextText();
    }
    void Beep() override { calls.push_back({"beep", {}, 0, 0, {}}); }

    // The texts of the message boxes shown, in order.
    QStringList messages() const
    {
        QStringList out;
        for (const auto& c : calls)
            if (c.kind == "msg")
                out << c.text;
        return out;
    }

private:
    QString nextText()
    {
        if (texts.empty())
            return {};
        QString t = texts.front();
        texts.pop_front();
        return t;
    }
};

} // namespace vimra::test
