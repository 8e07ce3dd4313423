#include "ui/main/ListScroll.h"

#include <algorithm>

#include "startup/App.h"

namespace stowaway {

void ExtendListScroll(App& app, ListBox& list, const std::string& entry) {
    MainForm& f = app.FrmMain;
    short& maximum = (&list == &f.LstFile) ? f.FileExtentMax : f.FolderExtentMax;
    // The range is a 16-bit count of pixels.
    const std::size_t width = std::min<std::size_t>(entry.size() * 6, 32767);
    if (static_cast<short>(width) > maximum) maximum = static_cast<short>(width);
    list.setHorizontalExtent(maximum);
}

}  // namespace stowaway
