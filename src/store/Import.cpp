#include "store/Import.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/ArchiverCommands.h"
#include "engine/JobDisplay.h"
#include "engine/JobGuard.h"
#include "engine/ProcessWait.h"
#include "engine/WorkFiles.h"
#include "platform/Text.h"
#include "startup/App.h"
#include "store/ArchiveHeader.h"
#include "store/ItemReader.h"
#include "ui/editor/CrateEditing.h"

namespace stowaway {

namespace {

struct NotCompliant {};
struct OtherVersion {};

// The listing read item by item. From the magic line on, an item that ended at a
// comma means a header value held one: every later line would be off by one.
class Listing {
  public:
    explicit Listing(const std::string& text) : text_(text), in_(text), reader_(in_) {}

    std::string item(bool commaFree) {
        std::string out = reader_.ReadItem();
        if (commaFree) {
            auto at = static_cast<std::size_t>(static_cast<std::streamoff>(
                in_.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in)));
            if (at > 0 && at <= text_.size() && text_[at - 1] == ',') throw NotCompliant{};
        }
        return out;
    }

    // The next header line: a filler item, then the line.
    std::string line() {
        item(true);
        return item(true);
    }

    // The value behind a field's prefix, blanks removed.
    std::string value(std::string_view prefix) {
        std::string text = line();
        std::string_view bare = prefix.substr(0, prefix.find_last_not_of(' ') + 1);
        if (!StartsWith(text, bare)) throw NotCompliant{};
        return Trim(Mid(text, prefix.size()));
    }

    short number(std::string_view prefix) {
        auto parsed = ParseInt16(value(prefix));
        if (!parsed) throw NotCompliant{};
        return *parsed;
    }

    short count(std::string_view prefix) {
        short n = number(prefix);
        if (n < -1 || n > EntrySlots) throw NotCompliant{};
        return n;
    }

  private:
    const std::string& text_;
    std::istringstream in_;
    ItemReader reader_;
};

void ReadVersion(Listing& listing) {
    std::string text = listing.value("Version: ");
    char* end = nullptr;
    double version = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) throw NotCompliant{};
    double ours = VersionMajor + VersionMinor / 10.0;
    if (version != ours) throw OtherVersion{};
}

void ShowNotCompliant(App& app, const std::string& path) {
    ShowJobStatus(app, "ZIP file is not Stowaway compliant. Cannot import Crate Data");
    app.ui.messageBox("The ZIP file " + path +
                          " was not created by Stowaway. Therefore it is not possible to retrieve "
                          "Crate data from it. This operation cannot continue.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

bool ReadArchiveHeaderInJob(App& app, const std::string& path) {
    const WorkFiles files = WorkFilePaths(app);
    if (!CheckBatchPath(app, path) || !CheckBatchPath(app, app.ProgramFolder) ||
        !EmptyWorkFiles(app, {files.batch, files.header}))
        return false;
    const std::string command = ComposeListingCommand(app, path, files.header);
    ShowJobStatus(app, "Checking ZIP file for Stowaway compliance...");
    {
        std::ofstream batch(app.platform.native(files.batch), std::ios::binary | std::ios::trunc);
        batch << "@ECHO ON\r\n" << command << "\r\n";
        if (!batch.flush()) {
            ReportWorkFileFailure(app, files.batch);
            return false;
        }
    }
    // A missing archiver leaves the listing empty, which reads as not compliant.
    long pid = app.platform.startProcess(InterpreterCommand(files.batch), WindowStyle::Hidden);
    if (pid != 0) WaitForProcess(app, pid, false, {});

    std::ifstream in(app.platform.native(files.header), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    CrateRecord crate;
    switch (ParseHeaderListing(text.str(), crate)) {
        case ListingVerdict::NotCompliant:
            ShowNotCompliant(app, path);
            return false;
        case ListingVerdict::OtherVersion:
            ShowJobStatus(app, "Verified! Reading Crate info...");
            app.ui.messageBox("The ZIP file " + path +
                                  " was not created by an old version of Stowaway. It is not "
                                  "possible to retrieve Crate data from old versions. This "
                                  "operation cannot continue.",
                              "Error", MsgButtons::OK, MsgIcon::Exclamation);
            return false;
        case ListingVerdict::Crate:
            break;
    }
    ShowJobStatus(app, "Verified! Reading Crate info...");
    app.store.ImportRecord = std::move(crate);
    ShowJobStatus(app, "Adding Crate Data...");
    return true;
}

}  // namespace

ListingVerdict ParseHeaderListing(const std::string& text, CrateRecord& crate) {
    Listing listing(text);
    CrateRecord read;
    try {
        for (int i = 0; i < 8; ++i) listing.item(false);
        if (listing.item(true) != ArchiveHeaderMagic) return ListingVerdict::NotCompliant;
        ReadVersion(listing);
        listing.line();  // Criticals:
        read.Name = listing.value("Name: ");
        read.BackupLocation = listing.value("Backup Location: ");
        read.RestoreLocation = listing.value("Restore Location: ");
        read.Compression = listing.number("Compression Level: ");
        listing.line();  // Options:
        read.UpdateOnly = listing.number("Update Only: ");
        read.MultiDisk = listing.number("Multi-Disk Mode: ");
        listing.line();  // Crate Data:
        read.FolderMax = listing.count("Max Folders: ");
        for (int j = 0; j < read.FolderMax; ++j)
            CrateRecord::SetEntry(read.Folders, j, listing.value("Folder: "));
        read.FileMax = listing.count("Max Files: ");
        for (int j = 0; j < read.FileMax; ++j)
            CrateRecord::SetEntry(read.Files, j, listing.value("File: "));
    } catch (const DamagedItems&) {
        return ListingVerdict::NotCompliant;
    } catch (const NotCompliant&) {
        return ListingVerdict::NotCompliant;
    } catch (const OtherVersion&) {
        return ListingVerdict::OtherVersion;
    }
    // A nameless Crate would be a free slot in the table.
    if (read.Name.empty()) return ListingVerdict::NotCompliant;
    crate = std::move(read);
    return ListingVerdict::Crate;
}

bool ReadArchiveHeader(App& app, const std::string& path) {
    JobGuard guard(app);
    if (!guard) return false;
    return ReadArchiveHeaderInJob(app, path);
}

void ImportCrate(App& app, const std::string& path) {
    JobGuard guard(app);
    if (!guard) return;
    if (!ReadArchiveHeaderInJob(app, path)) return;
    CrateStore& store = app.store;
    MainForm& f = app.FrmMain;
    const CrateRecord& in = store.ImportRecord;
    app.ui.setBusyPointer(true);
    app.ListUpdating = true;
    bool duplicate = false;
    for (const std::string& name : f.LstCrate.items())
        duplicate = duplicate || ToLower(name) == ToLower(in.Name);
    if (f.LstCrate.count() >= CrateSlots) {
        // A full table: nothing is added.
    } else if (duplicate) {
        app.ui.messageBox("The Crate titled " + in.Name +
                              " already exists. Stowaway cannot continue importing the data",
                          "Error", MsgButtons::OK, MsgIcon::Exclamation);
        ShowJobStatus(app, "Failed to add Crate Data");
    } else {
        store.CrateMax = static_cast<short>(f.LstCrate.count() - 1);
        store.CurrentIndex = static_cast<short>(store.CrateMax + 1);
        CrateRecord& slot = store.CrateTable[static_cast<std::size_t>(store.CurrentIndex)];
        slot = in;
        f.LstCrate.addItem(in.Name);
        store.CrateMax = store.CurrentIndex;
        f.LstCrate.setListIndex(store.CurrentIndex);
        ShowCurrentCrate(app);
        f.HSlCompression.setValue(in.Compression);
        ShowJobStatus(app, "Added Crate Data Successfully");
    }
    app.ListUpdating = false;
    app.ui.setBusyPointer(false);
}

}  // namespace stowaway
