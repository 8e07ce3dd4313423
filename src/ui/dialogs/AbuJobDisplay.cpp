#include "ui/dialogs/AbuJobDisplay.h"

#include <iostream>

namespace stowaway {

void AbuJobDisplay::showStatus(const std::string& text) {
    form_.StBMain.setPanelText(text);
    if (!form_.visible()) std::cerr << "Stowaway ABU: " << text << std::endl;
}

}  // namespace stowaway
