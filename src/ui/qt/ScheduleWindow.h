#pragma once

#include "ui/qt/FormWindow.h"

namespace stowaway {

class ScheduleForm;

// Tools > Schedule...: the form model's table as a table widget, the boxes and
// buttons as the model places them. Modeless, like the argument dialog.
class ScheduleWindow : public FormWindow {
  public:
    ScheduleWindow(ScheduleForm& form, ViewHub& hub, QWidget* parent);
};

}  // namespace stowaway
