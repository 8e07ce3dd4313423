#include "platform/VisibleText.h"

namespace stowaway {

bool HoldsLineBreak(std::string_view text) {
    // Two scans for one byte each: find_first_of searches the set once per character.
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

bool HoldsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace stowaway
