#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/versions/VersionCatalogue.h"
#include "ui/browse/FileRestorer.h"
#include "ui/controls/Controls.h"
#include "ui/controls/TableControl.h"
#include "ui/controls/TreeControl.h"

namespace stowaway {

// Tools > Browse and Restore Files...: the versions of the shown Crate, the
// chosen version's folders and files, a search across every version, one file's
// history, and restoring chosen files and folders.
class BrowseForm : public Form {
  public:
    BrowseForm() : Form("FrmBrowse", "Browse and Restore Files", {0, 0, 900, 690}) {
        setVisible(false);
    }

    Label LblVersions{"LblVersions", "Versions of the Crate:", {8, 8, 400, 17}};
    TableControl TblVersions{
        "TblVersions", {"Date", "Archive", "Size", "Files", "Check"}, {8, 26, 884, 118}};
    Label LblFolders{"LblFolders", "Folders:", {8, 152, 200, 17}};
    TreeControl TreFolders{"TreFolders", {8, 170, 280, 250}};
    Label LblFiles{"LblFiles", "Files (choose files and folders to restore):", {296, 152, 400, 17}};
    TableControl TblFiles{"TblFiles", {"Name", "Size", "Modified"}, {296, 170, 596, 250}, true};
    Label LblSearch{"LblSearch", "Find in every version (name or wildcard):", {8, 428, 280, 17}};
    TextBox TxtSearch{"TxtSearch", "", {8, 446, 280, 21}};
    Button CmdSearch{"CmdSearch", "F&ind", {296, 444, 81, 25}};
    Label LblFound{"LblFound", "", {385, 448, 507, 17}};
    TableControl TblResults{
        "TblResults", {"Version", "File", "Size", "Modified"}, {8, 474, 480, 134}, true};
    Label LblHistory{"LblHistory", "", {496, 428, 396, 17}};
    TableControl TblHistory{
        "TblHistory", {"Version", "Size", "Modified", "Change"}, {496, 474, 396, 134}, true};
    // The replace question stands where the search results do while it is asked.
    Label LblReplace{"LblReplace", "", {8, 428, 884, 38}};
    TableControl TblReplace{"TblReplace", {"File to replace", "On disk"}, {8, 474, 884, 134}};
    Button CmdReplace{"CmdReplace", "&Replace", {8, 616, 120, 25}};
    Button CmdKeep{"CmdKeep", "Do&n't Replace", {136, 616, 120, 25}};

    Button CmdRestoreOriginal{
        "CmdRestoreOriginal", "Restore to &Original Place", {8, 616, 180, 25}};
    Button CmdRestoreTo{"CmdRestoreTo", "Restore to &Folder...", {196, 616, 150, 25}};
    ProgressBar PrbRestore{"PrbRestore", {354, 618, 340, 21}};
    Button CmdCancel{"CmdCancel", "&Cancel", {702, 616, 90, 25}};
    Button CmdClose{"CmdClose", "C&lose", {802, 616, 90, 25}};
    Label LblMessage{"LblMessage", "", {8, 648, 884, 36}};

    std::vector<Control*> controls() {
        return {&LblVersions, &TblVersions, &LblFolders,         &TreFolders,   &LblFiles,
                &TblFiles,    &LblSearch,   &TxtSearch,          &CmdSearch,    &LblFound,
                &TblResults,  &LblHistory,  &TblHistory,         &LblReplace,   &TblReplace,
                &CmdReplace,  &CmdKeep,     &CmdRestoreOriginal, &CmdRestoreTo, &PrbRestore,
                &CmdCancel,   &CmdClose,    &LblMessage};
    }

    // What the window holds behind its rows.
    enum class Source { None, Files, Results, History };
    struct FileRow {
        std::string prefix;  // a folder's: its names' prefix
        std::uint32_t entry = 0;
        bool folder = false;
    };
    struct State {
        std::string crate;
        std::unique_ptr<VersionCatalogue> catalogue;
        std::size_t version = 0;
        std::vector<FileRow> files;
        std::vector<CatalogueHit> hits;
        std::vector<HistoryLine> history;
        Source source = Source::None;
        // A restore waiting for the answer to the replace question.
        std::vector<RestoreBatch> pending;
        std::string pendingTarget;
        bool running = false;
        bool cancelRequested = false;
    } state;
};

}  // namespace stowaway
