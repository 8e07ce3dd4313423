// Placeholder until the dialog lands.
#include "ui/dialogs/ArgumentDialog.h"

namespace stowaway {

void ShowArgumentEditor(App&) {}
void ArgumentBackupClick(App&) {}
void ArgumentCancelClick(App&) {}
void UnloadArgumentEditor(App&) {}

}  // namespace stowaway
