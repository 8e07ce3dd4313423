#pragma once

#include "ui/qt/FormWindow.h"

class QTableWidget;
class QTreeWidget;

namespace stowaway {

class BrowseForm;
class TableControl;
class TreeControl;

// Tools > Browse and Restore Files...: the model's tables as table widgets, its
// tree as a tree widget whose folders are filled when first opened. Modeless.
class BrowseWindow : public FormWindow {
  public:
    BrowseWindow(BrowseForm& form, ViewHub& hub, QWidget* parent);

  private:
    QTableWidget* addTable(TableControl& model);
    QTreeWidget* addTree(TreeControl& model);
};

}  // namespace stowaway
