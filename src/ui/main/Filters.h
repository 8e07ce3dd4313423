#pragma once

namespace stowaway {

class App;

// At most one folder filter is on: ticking one box makes its button and boxes
// usable and clears the other box, whose own click behaviour greys its controls.
void IncludeExcludeClicked(App& app);
void DateIncludeExcludeClicked(App& app);

// The two toggle buttons: the flag flips and the caption names the new mode.
void ToggleIncludeMode(App& app);
void ToggleAfterMode(App& app);

}  // namespace stowaway
