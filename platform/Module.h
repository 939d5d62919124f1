#pragma once

namespace vimra {

// The entry point `name` of the module at `path`, which stays loaded for the
// program's life. Without it, nullptr, and `failure` is said on the program's
// error output with the loader's reason.
void* moduleEntry(const char* path, const char* name, const char* failure);

} // namespace vimra
