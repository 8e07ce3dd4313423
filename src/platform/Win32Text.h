#pragma once

#include <string>
#include <string_view>

#include "platform/NativeText.h"

namespace stowaway {

// A UTF-8 path as the wide API calls take it, in the long-path form when it needs it.
inline std::wstring ApiPath(std::string_view utf8) {
    const std::u16string path = LongPathForm(Utf8ToUtf16(utf8));
    return std::wstring(path.begin(), path.end());
}

}  // namespace stowaway
