#pragma once

#include "ui/qt/FormWindow.h"

namespace stowaway {

class EncryptionForm;

// Tools > Encryption...: the form model's boxes as it places them, the two
// password boxes showing dots. Modeless, like the Schedule dialog.
class EncryptionWindow : public FormWindow {
  public:
    EncryptionWindow(EncryptionForm& form, ViewHub& hub, QWidget* parent);
};

}  // namespace stowaway
