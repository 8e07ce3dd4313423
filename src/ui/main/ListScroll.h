#pragma once

#include <string>

namespace stowaway {

class App;
class ListBox;

// Widens a selection list's horizontal scroll range for an entry just added:
// 6 pixels a character, a running maximum that never shrinks.
void ExtendListScroll(App& app, ListBox& list, const std::string& entry);

}  // namespace stowaway
