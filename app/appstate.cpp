#include "app/appstate.h"

#include <new>

AppState& App()
{
    static AppState state;
    return state;
}

void ResetAppState()
{
    AppState& state = App();
    state.~AppState();
    new (&state) AppState();
}
