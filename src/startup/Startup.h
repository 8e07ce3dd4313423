#pragma once

namespace stowaway {

class App;

// Stage 0 before the data file is read, stage 1 after; other stages do nothing.
void InitStartup(App& app, short stage);

// The interactive start-up: the window's load sequence, stage 0, the data file,
// stage 1. The caller then runs the event loop.
void RunInteractiveStartup(App& app);

}  // namespace stowaway
