#include "ui/controls/UiServices.h"

#include <iostream>

namespace stowaway {

MsgResult HeadlessUiServices::messageBox(const std::string& text, const std::string& title,
                                         MsgButtons buttons, MsgIcon) {
    std::cerr << title << ": " << text << std::endl;
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::OK;
}

void HeadlessUiServices::consoleStarted(const std::string& title, const std::string& commandLine) {
    std::cerr << title << ": " << commandLine << std::endl;
}

void HeadlessUiServices::consoleOutput(const std::string& text) {
    std::cerr << text << std::flush;
}

}  // namespace stowaway
