#pragma once

#include <vector>

#include "ui/controls/Controls.h"

namespace stowaway {

// The main window's model: every control under its own name, with its caption,
// place and initial content. The Qt layer mirrors it; the commands work on it.
class MainForm : public Form {
public:
    MainForm();

    // Client area in pixels; the window is fixed in size.
    static constexpr int ClientWidth = 600;
    static constexpr int ClientHeight = 349;

    // Window level.
    Frame FrmCrates{"FrmCrates", "Crates", {0, 0, 601, 49}};
    TabStrip SSTMain{"SSTMain", {"Crate Data", "Crate Options", "Program Options"}, {8, 56, 587, 273}};
    StatusBar StBMain{"StBMain", {0, 332, 600, 17}};
    ProgressBar PrBMain{"PrBMain", {408, 328, 185, 17}};

    // Crate strip.
    ComboBox LstCrate{"LstCrate", {8, 16, 153, 21, "FrmCrates"}};
    Button CmdBackup{"CmdBackup", "", {176, 16, 33, 25, "FrmCrates"}, "backup"};
    Button CmdRestore{"CmdRestore", "", {208, 16, 33, 25, "FrmCrates"}, "restore"};
    Button CmdDeleteCrate{"CmdDeleteCrate", "", {240, 16, 33, 25, "FrmCrates"}, "delete"};
    Button CmdRenameCrate{"CmdRenameCrate", "", {272, 16, 33, 25, "FrmCrates"}, "rename"};
    Label Label5{"Label5", "New Crate Name:", {320, 8, 90, 13, "FrmCrates"}};
    TextBox TxtAddCrate{"TxtAddCrate", "", {320, 24, 153, 19, "FrmCrates"}};
    Button CmdAddCrate{"CmdAddCrate", "", {480, 16, 33, 25, "FrmCrates"}, "add"};
    TextBox TxtDebug{"TxtDebug", "", {520, 16, 33, 27, "FrmCrates"}};

    // Page "Crate Data".
    DriveList DrvSelect{"DrvSelect", {8, 32, 193, 21, "Tab0"}};
    DirList DirSelect{"DirSelect", {8, 64, 193, 96, "Tab0"}};
    FileList FileSelect{"FileSelect", {8, 168, 193, 97, "Tab0"}};
    CheckBox ChkRecurse{"ChkRecurse", "&Recurse", CheckBox::Checked, {208, 32, 65, 17, "Tab0"}};
    Button CmdSelectDir{"CmdSelectDir", "", {208, 80, 33, 25, "Tab0"}, "arrow-right"};
    Button CmdDeSelectDir{"CmdDeSelectDir", "", {208, 120, 33, 25, "Tab0"}, "arrow-left"};
    Button CmdSelectFile{"CmdSelectFile", "", {208, 184, 33, 25, "Tab0"}, "arrow-right"};
    Button CmdDeSelectFile{"CmdDeSelectFile", "", {208, 224, 33, 25, "Tab0"}, "arrow-left"};
    ListBox LstDir{"LstDir", true, {248, 64, 329, 95, "Tab0"}};
    ListBox LstFile{"LstFile", true, {248, 168, 329, 95, "Tab0"}};
    CheckBox ChkIncludeExclude{"ChkIncludeExclude", "", CheckBox::Unchecked, {280, 32, 14, 17, "Tab0"}};
    Button CmdIncludeExclude{"CmdIncludeExclude", "Include", {296, 32, 49, 17, "Tab0"}};
    TextBox TxtDirWildcard{"TxtDirWildcard", "*.*", {352, 32, 41, 19, "Tab0"}};
    CheckBox ChkDateIncludeExclude{"ChkDateIncludeExclude", "", CheckBox::Unchecked,
                                   {400, 32, 14, 17, "Tab0"}};
    Button CmdDateIncludeExclude{"CmdDateIncludeExclude", "After", {416, 32, 49, 17, "Tab0"}};
    TextBox TxtDateIncludeExclude{"TxtDateIncludeExclude", "(Date)", {472, 32, 57, 19, "Tab0"}};
    TextBox TxtDateDirWildcard{"TxtDateDirWildcard", "*.*", {536, 32, 41, 19, "Tab0"}};

    // Page "Crate Options".
    Frame FrmBackupLocation{"FrmBackupLocation", "Backup", {8, 24, 297, 81, "Tab1"}};
    Label Label1{"Label1", "Backup Location:", {8, 32, 0, 0, "FrmBackupLocation"}};
    Button CmdBrowseBackupLoacation{"CmdBrowseBackupLoacation", "Br&owse",
                                    {136, 16, 73, 25, "FrmBackupLocation"}};
    Button CmdDeleteBackup{"CmdDeleteBackup", "&Delete", {216, 16, 73, 25, "FrmBackupLocation"}};
    TextBox TxtBackupLocation{"TxtBackupLocation", "", {8, 48, 281, 19, "FrmBackupLocation"}};
    Frame FrmRestore{"FrmRestore", "Restore", {8, 112, 297, 97, "Tab1"}};
    Label Label4{"Label4", "Restore Location:", {8, 32, 0, 0, "FrmRestore"}};
    Button CmdBrowseRestore{"CmdBrowseRestore", "Br&owse", {208, 16, 81, 25, "FrmRestore"}};
    TextBox TxtRestoreLocation{"TxtRestoreLocation", "", {8, 48, 281, 19, "FrmRestore"}};
    CheckBox ChkOverwriteOlder{"ChkOverwriteOlder", "Overwrite Older Files", CheckBox::Checked,
                               {8, 72, 121, 13, "FrmRestore"}};
    Frame FrmCompressionLevel{"FrmCompressionLevel", "Compression", {312, 24, 265, 81, "Tab1"}};
    Label LblCompression{"LblCompression", "Compression Level:", {8, 24, 92, 13, "FrmCompressionLevel"}};
    Slider HSlCompression{"HSlCompression", 0, 10, 5, {8, 40, 249, 33, "FrmCompressionLevel"}};
    Frame FrmCrateOptions{"FrmCrateOptions", "Options", {312, 112, 265, 57, "Tab1"}};
    CheckBox ChkUpdateOnly{"ChkUpdateOnly", "Update Only", CheckBox::Unchecked,
                           {8, 16, 81, 13, "FrmCrateOptions"}};
    CheckBox ChkMultiDisk{"ChkMultiDisk", "Multi-Disk Mode", CheckBox::Unchecked,
                          {8, 32, 97, 13, "FrmCrateOptions"}};

    // Page "Program Options".
    Frame FrmPaths{"FrmPaths", "Paths", {8, 24, 297, 129, "Tab2"}};
    Label Label2{"Label2", "Log File Path:", {8, 32, 0, 0, "FrmPaths"}};
    Button CmdBrowseLogFile{"CmdBrowseLogFile", "Br&owse", {208, 16, 81, 25, "FrmPaths"}};
    TextBox TxtLogPath{"TxtLogPath", "", {8, 48, 281, 19, "FrmPaths"}};
    Label Label3{"Label3", "Text Viewer Path:", {8, 88, 0, 0, "FrmPaths"}};
    Button CmdBrowseTxtViewer{"CmdBrowseTxtViewer", "Br&owse", {208, 72, 81, 25, "FrmPaths"}};
    TextBox TxtLogViewer{"TxtLogViewer", "", {8, 104, 281, 19, "FrmPaths"}};
    Frame FrmGeneral{"FrmGeneral", "General", {8, 160, 297, 57, "Tab2"}};
    CheckBox ChkArgumentEditing{"ChkArgumentEditing", "Allow Argument Editing", CheckBox::Unchecked,
                                {8, 16, 129, 13, "FrmGeneral"}};
    CheckBox ChkHideOutput{"ChkHideOutput", "Hide PKZIP Output", CheckBox::Checked,
                           {8, 32, 113, 13, "FrmGeneral"}};

    // Menus, in order.
    MenuItem MnuFile{"MnuFile", "&File"};
    MenuItem MnuFileImportCrate{"MnuFileImportCrate", "&Import Crate..."};
    MenuItem MnuFileDash1{"MnuFileDash1", "-"};
    MenuItem MnuFileViewLog{"MnuFileViewLog", "View &Log..."};
    MenuItem MnuFileDash2{"MnuFileDash2", "-"};
    MenuItem MnuFileExit{"MnuFileExit", "E&xit", "Ctrl+X"};
    MenuItem MnuEdit{"MnuEdit", "&Edit"};
    MenuItem MnuEditAddCrate{"MnuEditAddCrate", "&Add Crate"};
    MenuItem MnuEditRenameCrate{"MnuEditRenameCrate", "&Rename Crate"};
    MenuItem MnuEditDeleteCrate{"MnuEditDeleteCrate", "&Delete Crate"};
    MenuItem MnuEditBackupCrate{"MnuEditBackupCrate", "&Backup Crate", "Ctrl+B"};
    MenuItem MnuEditRestoreCrate{"MnuEditRestoreCrate", "R&estore Crate"};
    MenuItem MnuEditDash1{"MnuEditDash1", "-"};
    MenuItem MnuEditAddFolder{"MnuEditAddFolder", "Add F&older"};
    MenuItem MnuEditAddFile{"MnuEditAddFile", "Add &File"};
    MenuItem MnuEditRemoveFolder{"MnuEditRemoveFolder", "Remove Fo&lder"};
    MenuItem MnuEditRemoveFile{"MnuEditRemoveFile", "Remove F&ile"};
    MenuItem MnuEditDash3{"MnuEditDash3", "-"};
    MenuItem MnuEditRefresh{"MnuEditRefresh", "Refre&sh", "F5"};
    MenuItem MnuAdvanced{"MnuAdvanced", "&Advanced"};
    MenuItem MnuAdvancedLoad{"MnuAdvancedLoad", "Manually &Load Crate File"};
    MenuItem MnuAdvancedSave{"MnuAdvancedSave", "Manually &Save Crate File", "Ctrl+S"};
    MenuItem MnuAdvancedDash1{"MnuAdvancedDash1", "-"};
    MenuItem MnuAdvancedViewPKZIPOutput{"MnuAdvancedViewPKZIPOutput", "&View PKZIP Output..."};
    MenuItem MnuAdvancedDash2{"MnuAdvancedDash2", "-"};
    MenuItem MnuAdvancedKillHDData{"MnuAdvancedKillHDData", "&Corrupted Crate Data..."};
    // Commands of later versions go in a menu of their own, before Help.
    MenuItem MnuTools{"MnuTools", "&Tools"};
    MenuItem MnuToolsSchedule{"MnuToolsSchedule", "&Schedule..."};
    MenuItem MnuToolsBrowse{"MnuToolsBrowse", "&Browse and Restore Files..."};
    MenuItem MnuToolsEncryption{"MnuToolsEncryption", "&Encryption..."};
    MenuItem MnuHelp{"MnuHelp", "&Help"};
    MenuItem MnuHelpContents{"MnuHelpContents", "&Contents"};
    MenuItem MnuHelpDash1{"MnuHelpDash1", "-"};
    MenuItem MnuHelpAbout{"MnuHelpAbout", "&About"};

    // The menu tree: each top-level menu followed by its items.
    struct Menu {
        MenuItem* title;
        std::vector<MenuItem*> items;
    };
    std::vector<Menu> menus();
    // Every control, for views and tests that look controls up by name.
    std::vector<Control*> controls();
    Control* find(const std::string& name);

    // The running scroll extents of the two selection lists; never reduced.
    short FolderExtentMax = 0;
    short FileExtentMax = 0;

    // Ending the interactive mode. The front end calls close() when the user closes
    // the window through its close box, before the window goes: it stores the shown
    // Crate and saves the data file (connected by ConnectMainForm). "E&xit" stores
    // and saves itself, then sets ExitRequested and runs onExit: the front end
    // connects onExit to ending its event loop at once (the about box and the
    // argument dialog go with it). A close() after ExitRequested saves nothing again.
    Handler onClose;
    void close() { Fire(onClose); }
    bool ExitRequested = false;
    Handler onExit;
};

// Sets the 39 tooltips, in their fixed order.
void ApplyToolTips(MainForm& form);

}  // namespace stowaway
