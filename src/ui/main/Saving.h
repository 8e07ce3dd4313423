#pragma once

namespace stowaway {

class App;

// Stores the shown Crate, then saves the data file: the close box, "E&xit" and the
// manual save.
void CommitAndSave(App& app);
// "E&xit": CommitAndSave, then asks the front end to end the program (MainForm's
// ExitRequested and onExit).
void ExitProgram(App& app);
// The close box (MainForm::close): CommitAndSave, unless "E&xit" already did.
void MainWindowClosed(App& app);
// The user clicked a tab: the shown Crate is stored when the tab really changed.
void TabClicked(App& app, int previousTab);

}  // namespace stowaway
