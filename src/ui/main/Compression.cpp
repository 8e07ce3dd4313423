#include "ui/main/Compression.h"

#include "startup/App.h"

namespace stowaway {

std::string CompressionCaption(const App& app) {
    const int level = app.FrmMain.HSlCompression.value();
    std::string caption = "Compression Level:  " + std::to_string(level);
    switch (level) {
        case 0:
            caption += " Store (None)";
            break;
        case 1:
            caption += " Minimum";
            break;
        case 5:
            caption += " Normal";
            break;
        case 9:
            caption += " Maximum";
            break;
        default:
            break;
    }
    return caption;
}

void CompressionChanged(App& app) {
    const short current = app.store.CurrentIndex;
    if (current >= 0 && current <= MaxCrateIndex)
        app.store.CrateTable[static_cast<std::size_t>(current)].Compression =
            static_cast<short>(app.FrmMain.HSlCompression.value());
    app.FrmMain.LblCompression.setCaption(CompressionCaption(app));
}

}  // namespace stowaway
