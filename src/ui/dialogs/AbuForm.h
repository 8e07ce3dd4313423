#pragma once

#include "ui/controls/Controls.h"

namespace stowaway {

// The automated backup's small progress window: a progress bar and a status bar.
class AbuForm : public Form {
public:
    AbuForm() : Form("FrmABU", "Stowaway - Automated Backup Utility", {0, 0, 400, 60}) {
        setVisible(false);
    }
    ProgressBar PrBMain{"PrBMain", {0, 8, 400, 17}};
    StatusBar StBMain{"StBMain", {0, 40, 400, 20}};
};

}  // namespace stowaway
