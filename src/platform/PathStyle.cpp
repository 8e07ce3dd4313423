#include "platform/PathStyle.h"

#include "platform/Text.h"

namespace stowaway {

std::string PathStyle::foldCase(std::string_view text) const {
    return foldsCase() ? ToLower(text) : std::string(text);
}

std::string PathStyle::join(std::string_view folder, std::string_view name) const {
    std::string out(folder);
    out += separator();
    out += name;
    return out;
}

std::string PathStyle::joinOnce(std::string_view folder, std::string_view name) const {
    std::string out(folder);
    if (!endsWithSeparator(folder)) out += separator();
    out += name;
    return out;
}

bool PathStyle::endsWithSeparator(std::string_view path) const {
    return !path.empty() && path.back() == separator();
}

std::string PathStyle::rootOf(std::string_view path) const {
    if (isWindows()) return std::string(path.substr(0, 3));
    return "/";
}

}  // namespace stowaway
