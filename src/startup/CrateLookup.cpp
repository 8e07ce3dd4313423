#include "startup/CrateLookup.h"

#include "platform/Text.h"
#include "startup/App.h"
#include "ui/main/DataFileCommands.h"

namespace stowaway {

short LoadAndFindCrate(App& app, const std::string& wanted) {
    app.DataFilePath = app.style().join(app.ProgramFolder, "Stowaway.dat");
    LoadDataFile(app);
    const std::string key = ToLower(Trim(wanted));
    short found = -1;
    // Every slot is compared: with equal names the last one wins. The -abu command
    // line comes lower-cased, so both are lowered before folding ("İ" lowers to
    // "i" but folds to itself).
    for (short i = 0; i <= app.store.CrateMax; ++i) {
        const std::string& name = app.store.CrateTable[static_cast<std::size_t>(i)].Name;
        if (!name.empty() && EqualsIgnoreCase(ToLower(Trim(name)), key)) found = i;
    }
    return found;
}

}  // namespace stowaway
