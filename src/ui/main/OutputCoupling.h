#pragma once

namespace stowaway {

class App;
class CheckBox;

// ChkHideOutput follows whichever of ChkArgumentEditing and ChkMultiDisk ran last:
// the driver ticked clears and disables it, the driver cleared ticks and enables
// it, a grey driver changes nothing.
void CoupleHideOutput(App& app, const CheckBox& driver);

}  // namespace stowaway
