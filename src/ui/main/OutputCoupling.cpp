#include "ui/main/OutputCoupling.h"

#include "startup/App.h"

namespace stowaway {

void CoupleHideOutput(App& app, const CheckBox& driver) {
    CheckBox& hide = app.FrmMain.ChkHideOutput;
    if (driver.value() == CheckBox::Checked) {
        hide.setValue(CheckBox::Unchecked);
        hide.setEnabled(false);
    } else if (driver.value() == CheckBox::Unchecked) {
        hide.setValue(CheckBox::Checked);
        hide.setEnabled(true);
    }
}

}  // namespace stowaway
