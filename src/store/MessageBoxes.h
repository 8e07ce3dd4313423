#pragma once

#include <string>

namespace stowaway {

enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgResult { OK, Cancel, Yes, No };

// How the store and the jobs tell the user something: a modal message box with a
// fixed text, title and icon. The user interface's services implement it.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Returns the button pressed.
    virtual MsgResult messageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons, MsgIcon icon) = 0;
};

}  // namespace stowaway
