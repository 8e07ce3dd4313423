#pragma once

#include "ui/controls/Controls.h"

namespace stowaway {

// The dialog that shows the archiver line for editing before a backup runs.
class ArgumentForm : public Form {
public:
    ArgumentForm() : Form("FrmArgument", "PKZIP Command Line Argument Editing", {0, 0, 497, 273}) {
        setVisible(false);
    }
    Frame FrmFileInfo{"FrmFileInfo", "File Information for Complex Argument Detail",
                      {8, 8, 385, 121}};
    Label Label2{"Label2",
                 "SWHeader.dat - Contains all the information about a specific Crate to be "
                 "included in the ZIP file as a header for use in importing Crate data",
                 {8, 16, 369, 41, "FrmFileInfo"}};
    Label Label6{"Label6", "SWTemp.lst - List for all the individual files to backup",
                 {8, 64, 369, 17, "FrmFileInfo"}};
    Label Label5{"Label5", "SWTemp.dat - File that PKZIP25.EXE's output is redirected to",
                 {8, 88, 369, 17, "FrmFileInfo"}};
    Button CmdOKBackup{"CmdOKBackup", "&Backup", {400, 16, 89, 25}};
    Button CmdCancelBackup{"CmdCancelBackup", "&Cancel", {400, 48, 89, 25}};
    TextBox TxtArgumentLine{"TxtArgumentLine", "", {8, 136, 481, 21}};
    Frame FrmArgumentInfo{"FrmArgumentInfo", "Warning!!!", {8, 164, 481, 101}};
    Label Label1{"Label1",
                 "Editing of the command line parameter should not be attempted by anyone who is "
                 "not extremely familiar with the workings of PKZIP v2.5 and DOS. If you make a "
                 "mistake PkZip may crash or damage your data. Stowaway itself will probably not "
                 "understand what has happened, it will assume you know what you are doing. I "
                 "suggest you manually save all crate info before attempting to manually edit the "
                 "command line. This is ONLY for advanced users.",
                 {8, 16, 465, 77, "FrmArgumentInfo"}};
    // Closing through the window frame unloads the dialog.
    Handler onUnload;
    bool loaded = false;
};

}  // namespace stowaway
