#pragma once

namespace vimra {

// One installable implementation of an interface that the layers below the
// windows call upward: the windows install theirs, and until they do (or in
// tests) a do-nothing `Default` answers.
template <class Interface, class Default>
class Installed {
public:
    static Interface& get()
    {
        static Default fallback;
        return s_current ? *s_current : fallback;
    }
    // nullptr restores the default. The caller keeps ownership.
    static void set(Interface* current) { s_current = current; }

private:
    static inline Interface* s_current = nullptr;
};

} // namespace vimra
