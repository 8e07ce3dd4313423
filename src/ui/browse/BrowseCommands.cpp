#include "ui/browse/BrowseCommands.h"

#include <map>

#include "platform/VisibleText.h"
#include "startup/App.h"
#include "store/RunStateFile.h"
#include "ui/browse/BrowseRows.h"
#include "ui/browse/JobFileRestorer.h"
#include "ui/editor/CrateEditing.h"

namespace stowaway {

namespace {

constexpr const char* Title = "Browse and Restore Files";
// Search results shown at most; a narrower pattern finds the rest.
constexpr std::size_t MaxHits = 1000;

void Say(App& app, const std::string& text) {
    app.FrmBrowse.LblMessage.setCaption(text);
}

TreeControl::Node Folder(std::string label, std::string key) {
    TreeControl::Node node;
    node.label = std::move(label);
    node.key = std::move(key);
    return node;
}

VersionCatalogue* Catalogue(App& app) {
    return app.FrmBrowse.state.catalogue.get();
}

void ShowReplaceQuestion(BrowseForm& f, bool asking) {
    for (Control* c :
         std::initializer_list<Control*>{&f.LblReplace, &f.TblReplace, &f.CmdReplace, &f.CmdKeep})
        c->setVisible(asking);
    for (Control* c : std::initializer_list<Control*>{
             &f.LblSearch, &f.TxtSearch, &f.CmdSearch, &f.LblFound, &f.TblResults, &f.LblHistory,
             &f.TblHistory, &f.CmdRestoreOriginal, &f.CmdRestoreTo})
        c->setVisible(!asking);
}

void EnableWhileRunning(BrowseForm& f, bool running) {
    for (Control* c : std::initializer_list<Control*>{
             &f.TblVersions, &f.TreFolders, &f.TblFiles, &f.TxtSearch, &f.CmdSearch, &f.TblResults,
             &f.TblHistory, &f.CmdRestoreOriginal, &f.CmdRestoreTo, &f.CmdClose})
        c->setEnabled(!running);
    f.CmdCancel.setEnabled(running);
}

// The chosen rows of the table last chosen in, as one batch per version.
std::vector<RestoreBatch> ChosenBatches(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    VersionCatalogue* catalogue = Catalogue(app);
    std::map<std::size_t, std::vector<ListedEntry>> names;
    if (!catalogue) return {};
    auto add = [&](std::size_t version, std::uint32_t entry) {
        const VersionListing* listing = catalogue->listing(version);
        if (!listing) return;
        const CompactEntry& compact = listing->entry(entry);
        ListedEntry listed;
        listed.name = std::string(listing->name(entry));
        listed.size = compact.size;
        listed.crc = compact.crc;
        listed.modified = EntryTime(compact);
        names[version].push_back(std::move(listed));
    };
    switch (s.source) {
        case BrowseForm::Source::Files:
            for (const int row : f.TblFiles.selectedRows()) {
                const BrowseForm::FileRow& file = s.files[static_cast<std::size_t>(row)];
                if (!file.folder) {
                    add(s.version, file.entry);
                } else if (const VersionListing* listing = catalogue->listing(s.version)) {
                    for (const std::uint32_t entry : listing->filesUnder(file.prefix))
                        add(s.version, entry);
                }
            }
            break;
        case BrowseForm::Source::Results:
            for (const int row : f.TblResults.selectedRows()) {
                const CatalogueHit& hit = s.hits[static_cast<std::size_t>(row)];
                add(hit.version, hit.entry);
            }
            break;
        case BrowseForm::Source::History:
            for (const int row : f.TblHistory.selectedRows()) {
                const HistoryLine& line = s.history[static_cast<std::size_t>(row)];
                add(line.version, line.entry);
            }
            break;
        case BrowseForm::Source::None:
            break;
    }
    std::vector<RestoreBatch> batches;
    for (auto& [version, chosen] : names)
        batches.push_back(RestoreBatch{catalogue->versions()[version].archive, std::move(chosen)});
    return batches;
}

void RunRestore(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    const std::vector<RestoreBatch> batches = std::move(s.pending);
    s.pending.clear();
    const std::string target = s.pendingTarget;
    std::size_t total = 0;
    for (const RestoreBatch& batch : batches) total += batch.entries.size();
    s.running = true;
    s.cancelRequested = false;
    EnableWhileRunning(f, true);
    f.PrbRestore.setValue(0);
    std::size_t before = 0, restored = 0;
    std::string problem;
    bool cancelled = false;
    for (const RestoreBatch& batch : batches) {
        const RestoreReport report =
            app.fileRestorer->restore(batch, target, [&](std::size_t done, std::size_t) {
                f.PrbRestore.setValue(total ? 100.0 * static_cast<double>(before + done) /
                                                  static_cast<double>(total)
                                            : 100.0);
                app.ui.processEvents();
                return !s.cancelRequested;
            });
        restored += report.restored;
        before += batch.entries.size();
        if (report.cancelled || s.cancelRequested) {
            cancelled = true;
            break;
        }
        if (!report.ok) {
            problem = report.message;
            break;
        }
    }
    s.running = false;
    EnableWhileRunning(f, false);
    const std::string where =
        target.empty() ? "to their original place" : "into \"" + VisibleText(target) + "\"";
    const std::string count = std::to_string(restored) + " of " + std::to_string(total) +
                              (total == 1 ? " file" : " files");
    if (cancelled) {
        Say(app, "Cancelled: " + count + " restored " + where + ".");
    } else if (!problem.empty()) {
        Say(app, "The restore stopped after " + count + ": " + problem);
        app.ui.messageBox(problem, Title, MsgButtons::OK, MsgIcon::Exclamation);
    } else {
        f.PrbRestore.setValue(100);
        Say(app, "Restored " + count + " " + where + ".");
    }
}

void StartRestore(App& app, const std::string& target) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    if (s.running) return;
    std::vector<RestoreBatch> batches = ChosenBatches(app);
    if (batches.empty()) {
        Say(app,
            "Choose the files or folders to restore first (in the file list, the search "
            "results or a file's history).");
        return;
    }
    if (!app.fileRestorer) {
        Say(app, "Restoring chosen files is not available.");
        return;
    }
    std::vector<ReplacedFile> replaced;
    for (const RestoreBatch& batch : batches)
        for (ReplacedFile& file : app.fileRestorer->wouldReplace(batch, target))
            replaced.push_back(std::move(file));
    s.pending = std::move(batches);
    s.pendingTarget = target;
    if (replaced.empty()) {
        RunRestore(app);
        return;
    }
    f.TblReplace.setRows(ReplaceRows(replaced));
    f.LblReplace.setCaption(ReplaceQuestion(replaced));
    ShowReplaceQuestion(f, true);
    f.CmdRestoreOriginal.setEnabled(false);
}

}  // namespace

void OpenBrowseDialog(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    if (s.running) {
        f.show();
        return;
    }
    StoreCurrentCrate(app);
    const CrateStore& store = app.store;
    if (store.CurrentIndex < 0 || store.CurrentIndex > MaxCrateIndex ||
        store.CrateTable[static_cast<std::size_t>(store.CurrentIndex)].Name.empty()) {
        app.ui.messageBox("Choose the Crate whose backups you want to browse first.", Title,
                          MsgButtons::OK, MsgIcon::Information);
        return;
    }
    const CrateRecord& crate = store.CrateTable[static_cast<std::size_t>(store.CurrentIndex)];
    s = BrowseForm::State{};
    s.crate = crate.Name;
    f.setCaption("Browse and Restore Files - " + crate.Name);
    f.TxtSearch.setText("");
    f.LblFound.setCaption("");
    f.LblHistory.setCaption("");
    f.TblResults.setRows({});
    f.TblHistory.setRows({});
    f.PrbRestore.setValue(0);
    ShowReplaceQuestion(f, false);
    EnableWhileRunning(f, false);
    Say(app, "");
    ArchiveName name;
    if (!SplitArchiveName(crate.BackupLocation, app.style().separator(), name)) {
        f.TblVersions.setRows({});
        f.TreFolders.setRoots({});
        f.TblFiles.setRows({});
        Say(app, "The Crate " + crate.Name + " names no archive file to back up into.");
        f.show();
        return;
    }
    const RunStateParse runs =
        ReadRunState(app.platform, RunStatePath(app.platform, app.ProgramFolder));
    s.catalogue =
        std::make_unique<VersionCatalogue>(app.platform, name, runs.table.find(crate.Name));
    f.TblVersions.setRows(VersionRows(s.catalogue->versions()));
    if (s.catalogue->versions().empty())
        Say(app, "There is no archive of " + crate.Name + " yet: back it up first.");
    f.show();
    f.TblVersions.select(s.catalogue->versions().empty() ? -1 : 0);
}

void ShowSelectedVersion(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    const int row = f.TblVersions.selected();
    f.TblFiles.setRows({});
    s.files.clear();
    if (s.source == BrowseForm::Source::Files) s.source = BrowseForm::Source::None;
    VersionCatalogue* catalogue = Catalogue(app);
    if (!catalogue || row < 0) {
        f.TreFolders.setRoots({});
        return;
    }
    s.version = static_cast<std::size_t>(row);
    const CatalogueVersion& version = catalogue->versions()[s.version];
    if (!catalogue->listing(s.version)) {
        f.TreFolders.setRoots({});
        Say(app, "This version cannot be listed: " + version.check + ".");
        return;
    }
    f.TreFolders.setRoots({Folder("/", "")});
    f.TreFolders.expand("");
    f.TreFolders.select("");
    const VersionListing& listing = *catalogue->listing(s.version);
    Say(app, listing.problem().empty()
                 ? ""
                 : "Only part of this version could be read: " + listing.problem() + ".");
}

void LoadFolderChildren(App& app) {
    BrowseForm& f = app.FrmBrowse;
    VersionCatalogue* catalogue = Catalogue(app);
    const VersionListing* listing = catalogue ? catalogue->listing(f.state.version) : nullptr;
    if (!listing) return;
    const std::string prefix = f.TreFolders.expanding();
    std::vector<TreeControl::Node> nodes;
    for (const ListingChild& child : listing->children(prefix))
        if (child.folder)
            nodes.push_back(
                Folder(VisibleText(child.name), prefix + std::string(child.name) + "/"));
    f.TreFolders.setChildren(prefix, std::move(nodes));
}

void ShowSelectedFolder(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    s.files.clear();
    VersionCatalogue* catalogue = Catalogue(app);
    const VersionListing* listing = catalogue ? catalogue->listing(s.version) : nullptr;
    if (!listing || !f.TreFolders.find(f.TreFolders.selected())) {
        f.TblFiles.setRows({});
        return;
    }
    const std::string prefix = f.TreFolders.selected();
    std::vector<TableControl::Row> rows;
    for (const ListingChild& child : listing->children(prefix)) {
        s.files.push_back(BrowseForm::FileRow{
            child.folder ? prefix + std::string(child.name) + "/" : std::string(), child.entry,
            child.folder});
        rows.push_back(FileRow(*listing, child));
    }
    f.TblFiles.setRows(std::move(rows));
    f.TblFiles.selectRows({});
}

void SearchVersions(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    VersionCatalogue* catalogue = Catalogue(app);
    if (!catalogue) return;
    bool more = false;
    app.ui.setBusyPointer(true);
    s.hits = catalogue->search(f.TxtSearch.text(), MaxHits, more);
    app.ui.setBusyPointer(false);
    f.TblResults.setRows(ResultRows(*catalogue, s.hits));
    f.TblResults.selectRows({});
    s.history.clear();
    f.TblHistory.setRows({});
    f.LblHistory.setCaption("");
    if (s.source != BrowseForm::Source::Files) s.source = BrowseForm::Source::None;
    f.LblFound.setCaption(FoundText(SearchWildcard(f.TxtSearch.text()), s.hits.size(), more));
}

void ShowFileHistory(App& app) {
    BrowseForm& f = app.FrmBrowse;
    BrowseForm::State& s = f.state;
    s.source = BrowseForm::Source::Results;
    VersionCatalogue* catalogue = Catalogue(app);
    const int row = f.TblResults.selected();
    if (!catalogue || row < 0) return;
    const CatalogueHit& hit = s.hits[static_cast<std::size_t>(row)];
    const std::string name(catalogue->listing(hit.version)->name(hit.entry));
    s.history = catalogue->history(name);
    f.TblHistory.setRows(HistoryRows(*catalogue, s.history));
    f.TblHistory.selectRows({});
    f.LblHistory.setCaption("History of " + VisibleText(LeafOf(name)) + ":");
}

void RestoreToOriginalPlace(App& app) {
    StartRestore(app, "");
}

void RestoreToFolder(App& app) {
    if (ChosenBatches(app).empty()) {
        StartRestore(app, "");  // says what to choose
        return;
    }
    const std::string folder = app.ui.browseForFolder("Restore the chosen files into", "");
    if (folder.empty()) return;
    StartRestore(app, folder);
}

void AnswerReplace(App& app, bool replace) {
    BrowseForm& f = app.FrmBrowse;
    ShowReplaceQuestion(f, false);
    f.CmdRestoreOriginal.setEnabled(true);
    if (replace) {
        RunRestore(app);
        return;
    }
    f.state.pending.clear();
    Say(app, "Nothing was restored.");
}

void ConnectBrowseForm(App& app) {
    BrowseForm& f = app.FrmBrowse;
    App* a = &app;
    if (!app.fileRestorer) app.fileRestorer = std::make_unique<JobFileRestorer>(app);
    ShowReplaceQuestion(f, false);
    EnableWhileRunning(f, false);
    f.TblVersions.onSelect = [a] { ShowSelectedVersion(*a); };
    f.TreFolders.onExpand = [a] { LoadFolderChildren(*a); };
    f.TreFolders.onSelect = [a] { ShowSelectedFolder(*a); };
    f.TblFiles.onSelect = [a] {
        if (!a->FrmBrowse.TblFiles.selectedRows().empty())
            a->FrmBrowse.state.source = BrowseForm::Source::Files;
    };
    f.CmdSearch.onClick = [a] { SearchVersions(*a); };
    f.TblResults.onSelect = [a] { ShowFileHistory(*a); };
    f.TblHistory.onSelect = [a] {
        if (!a->FrmBrowse.TblHistory.selectedRows().empty())
            a->FrmBrowse.state.source = BrowseForm::Source::History;
    };
    f.CmdRestoreOriginal.onClick = [a] { RestoreToOriginalPlace(*a); };
    f.CmdRestoreTo.onClick = [a] { RestoreToFolder(*a); };
    f.CmdReplace.onClick = [a] { AnswerReplace(*a, true); };
    f.CmdKeep.onClick = [a] { AnswerReplace(*a, false); };
    f.CmdCancel.onClick = [a] { a->FrmBrowse.state.cancelRequested = true; };
    f.CmdClose.onClick = [&f] {
        if (!f.state.running) f.hide();
    };
}

}  // namespace stowaway
