#include "platform/Prompts.h"

#include "platform/Installed.h"

namespace vimra {

int SilentPrompts::MsgBox(const QString&, Buttons buttons, Icon, const QString&)
{
    switch (buttons) {
    case YesNo:
    case YesNoCancel: return Yes;
    case AbortRetryIgnore: return Ignore;
    case RetryCancel: return Cancel;
    default: return Ok;
    }
}

Prompts& prompts() { return Installed<Prompts, SilentPrompts>::get(); }

void setPrompts(Prompts* p) { Installed<Prompts, SilentPrompts>::set(p); }

} // namespace vimra
