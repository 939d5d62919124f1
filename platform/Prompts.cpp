#include "platform/Prompts.h"

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

namespace {
SilentPrompts g_silent;
Prompts* g_prompts = &g_silent;
} // namespace

Prompts& prompts() { return *g_prompts; }

void setPrompts(Prompts* p) { g_prompts = p ? p : &g_silent; }

} // namespace vimra
