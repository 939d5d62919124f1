#include "platform/Module.h"

#include <QtGlobal>

#include <dlfcn.h>

namespace vimra {

void* moduleEntry(const char* path, const char* name, const char* failure)
{
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    void* entry = module ? dlsym(module, name) : nullptr;
    if (!entry)
        qWarning("vimra: %s: %s", failure, dlerror());
    return entry;
}

} // namespace vimra
