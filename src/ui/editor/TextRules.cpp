#include "ui/editor/TextRules.h"

#include "startup/App.h"

namespace stowaway {

bool RefuseDoubleQuote(App& app, const std::string& text, const std::string& what) {
    if (text.find('"') == std::string::npos) return false;
    app.ui.messageBox(what +
                          " cannot contain a double quote (\"), because Stowaway.dat has no "
                          "way to store one. Nothing was changed.",
                      "Invalid Character", MsgButtons::OK, MsgIcon::Exclamation);
    return true;
}

bool RefuseFullList(App& app, const ListBox& list, const std::string& what) {
    if (list.count() < EntrySlots) return false;
    app.ui.messageBox("A Crate can hold at most " + std::to_string(EntrySlots) + " " + what +
                          ". Remove some before adding more.",
                      "Crate Full", MsgButtons::OK, MsgIcon::Exclamation);
    return true;
}

}  // namespace stowaway
