#include "records/AppState.h"

namespace vimra {

AppState& appState()
{
    static AppState state;
    return state;
}

} // namespace vimra
