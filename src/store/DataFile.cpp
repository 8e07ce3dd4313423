#include "store/DataFile.h"

#include <sstream>

#include "platform/Text.h"
#include "store/DamagedCopy.h"
#include "store/ItemReader.h"
#include "store/StoreContext.h"

namespace stowaway {

namespace {

// A damaged data file: the load stops and reports it.
struct LoadError {};

short ToInt16(const std::string& text) {
    auto value = ParseInt16(text);
    if (!value) throw LoadError{};
    return *value;
}

std::string DefaultLogPath(const StoreContext& ctx) {
    return ctx.style().join(ctx.ProgramFolder, "Log.txt");
}

std::string DefaultViewer(const StoreContext& ctx) {
    return ctx.style().join(ctx.WindowsDir, ctx.style().textViewerName());
}

// The second viewer default, reached only by the earlier version's format.
std::string FallbackViewer(const StoreContext& ctx) {
    return ctx.style().isWindows() ? "C:\\Windows\\Notepad.exe" : "/usr/bin/xdg-open";
}

class Loader {
  public:
    Loader(const StoreContext& ctx, std::istream& in) : ctx_(ctx), store_(ctx.store), reader_(in) {}

    // Steps after the first item was found; throws LoadError or ReadPastEnd.
    void run(std::string first) {
        line_ = std::move(first);
        if (StartsWith(line_, "MAX=") || StartsWith(line_, "LOGPATH=") ||
            StartsWith(line_, "LOGVIEW="))
            readKeyed();
        else
            readPositional();
    }

  private:
    void next() {
        if (!reader_.atEnd()) line_ = reader_.ReadItem();
    }

    void readKeyed() {
        for (int i = 0; i < 3; ++i) {
            if (StartsWith(line_, "MAX=")) {
                store_.CrateMax = ToInt16(line_.substr(4));
            } else if (StartsWith(line_, "LOGPATH=")) {
                store_.LogPath = line_.substr(8);
            } else if (StartsWith(line_, "LOGVIEW=")) {
                store_.LogViewer = line_.substr(8);
            } else {
                break;
            }
            next();
        }
        if (store_.LogPath.empty()) store_.LogPath = DefaultLogPath(ctx_);
        if (store_.LogViewer.empty()) store_.LogViewer = DefaultViewer(ctx_);
        if (store_.CrateMax > MaxCrateIndex) throw LoadError{};
        for (int s = 0; s <= store_.CrateMax; ++s) {
            CrateRecord& r = store_.CrateTable[static_cast<std::size_t>(s)];
            r.Compression = r.UpdateOnly = r.MultiDisk = r.FolderMax = r.FileMax = -1;
        }
        for (int s = 0; s <= store_.CrateMax; ++s)
            readKeyedCrate(store_.CrateTable[static_cast<std::size_t>(s)]);
    }

    void readKeyedCrate(CrateRecord& r) {
        for (int i = 0; i < 8; ++i) {
            if (StartsWith(line_, "SNAME="))
                r.Name = line_.substr(6);
            else if (StartsWith(line_, "SBLOC="))
                r.BackupLocation = line_.substr(6);
            else if (StartsWith(line_, "SRLOC="))
                r.RestoreLocation = line_.substr(6);
            else if (StartsWith(line_, "SCOMP="))
                r.Compression = ToInt16(line_.substr(6));
            else if (StartsWith(line_, "SUPDATE="))
                r.UpdateOnly = ToInt16(line_.substr(8));
            else if (StartsWith(line_, "SMULTI="))
                r.MultiDisk = ToInt16(line_.substr(7));
            else if (StartsWith(line_, "SFOLDMAX="))
                r.FolderMax = ToInt16(line_.substr(9));
            else if (StartsWith(line_, "SFILEMAX="))
                r.FileMax = ToInt16(line_.substr(9));
            else
                break;
            next();
        }
        const PathStyle& style = ctx_.style();
        if (r.BackupLocation.empty())
            r.BackupLocation = style.join(ctx_.ProgramFolder, "SWBackup.zip");
        if (r.RestoreLocation.empty()) r.RestoreLocation = ctx_.ProgramFolder;
        if (r.Compression == -1) r.Compression = 6;
        if (r.MultiDisk == -1) r.MultiDisk = 0;
        if (r.UpdateOnly == -1) r.UpdateOnly = 0;
        for (int j = 0; j < r.FolderMax; ++j) {
            if (j > MaxEntryIndex) throw LoadError{};
            std::string text(Mid(line_, 6));
            // Entries of versions without a recursion flag become recursive.
            if (!StartsWith(text, "R")) text = "R+ " + text;
            CrateRecord::SetEntry(r.Folders, j, std::move(text));
            next();
        }
        for (int j = 0; j < r.FileMax; ++j) {
            if (j > MaxEntryIndex) throw LoadError{};
            CrateRecord::SetEntry(r.Files, j, std::string(Mid(line_, 6)));
            next();
        }
    }

    void readPositional() {
        store_.CrateMax = ToInt16(line_);
        store_.LogPath = reader_.ReadItem();
        store_.LogViewer = reader_.ReadItem();
        if (store_.CrateMax > MaxCrateIndex) throw LoadError{};
        const std::string wholeFolder = ctx_.style().separatorText() + "*";
        for (int s = 0; s <= store_.CrateMax; ++s) {
            CrateRecord& r = store_.CrateTable[static_cast<std::size_t>(s)];
            r.Name = reader_.ReadItem();
            r.BackupLocation = reader_.ReadItem();
            r.Compression = ToInt16(reader_.ReadItem());
            r.UpdateOnly = ToInt16(reader_.ReadItem());
            r.FolderMax = ToInt16(reader_.ReadItem());
            r.FileMax = ToInt16(reader_.ReadItem());
            for (int j = 0; j < r.FolderMax; ++j) {
                if (j > MaxEntryIndex) throw LoadError{};
                std::string item = reader_.ReadItem();
                item = (EndsWith(item, wholeFolder) ? "R+ " : "R+ Include: ") + item;
                CrateRecord::SetEntry(r.Folders, j, std::move(item));
            }
            for (int j = 0; j < r.FileMax; ++j) {
                if (j > MaxEntryIndex) throw LoadError{};
                CrateRecord::SetEntry(r.Files, j, reader_.ReadItem());
            }
        }
    }

    const StoreContext& ctx_;
    CrateStore& store_;
    ItemReader reader_;
    std::string line_;
};

// Keeps slot i and list entry i the same Crate: a hand-edited file may leave free
// slots between named ones.
void CloseGaps(CrateStore& store) {
    std::size_t to = 0;
    for (int s = 0; s <= store.CrateMax; ++s) {
        CrateRecord& r = store.CrateTable[static_cast<std::size_t>(s)];
        if (r.Name.empty()) continue;
        if (to != static_cast<std::size_t>(s)) {
            store.CrateTable[to] = std::move(r);
            r = CrateRecord{};
        }
        ++to;
    }
    for (int s = static_cast<int>(to); s <= store.CrateMax; ++s)
        store.CrateTable[static_cast<std::size_t>(s)] = CrateRecord{};
}

}  // namespace

std::string NormalisedLogPath(const StoreContext& ctx, const std::string& typed) {
    return Right(typed, 4) == ".txt" ? typed : DefaultLogPath(ctx);
}

LoadOutcome LoadCrateFile(const StoreContext& ctx) {
    CrateStore& store = ctx.store;
    const std::string logPathAfterStep2 = store.LogPath;
    const std::string viewerBefore = store.LogViewer;

    // Read whole and at once: a folder, FIFO or device in its place is damage, not
    // a hang or a crash.
    std::string bytes;
    bool damaged = false;
    switch (ctx.platform.readWholeFile(ctx.DataFilePath, bytes)) {
        case ReadStatus::Missing:
            ctx.platform.makeEmptyFile(ctx.DataFilePath);
            break;
        case ReadStatus::DanglingLink:
            // A load creates nothing; the next save creates the link's target.
            break;
        case ReadStatus::Read:
            break;
        case ReadStatus::NotAFile:
        case ReadStatus::Failed:
            damaged = true;
            break;
    }
    std::istringstream in(bytes);
    ItemReader reader(in);

    try {
        std::string first;
        if (!damaged && !reader.atEnd()) first = reader.ReadItem();
        if (!damaged && (reader.atEnd() || first.empty())) {
            // No data: a missing, empty or one-item file.
            store.LogPath = DefaultLogPath(ctx);
            store.LogViewer = DefaultViewer(ctx);
            return LoadOutcome::NoData;
        }
        if (!damaged) Loader(ctx, in).run(std::move(first));
    } catch (const LoadError&) {
        damaged = true;
    } catch (const DamagedItems&) {
        damaged = true;
    }
    if (damaged) {
        store.clearTable();
        store.LogPath = logPathAfterStep2;
        store.LogViewer = viewerBefore;
        // The next save replaces the file: what it held is kept first.
        const std::string kept =
            bytes.empty() ? std::string() : KeepDamagedCopy(ctx.platform, ctx.DataFilePath, bytes);
        ctx.boxes.messageBox(LoadErrorText, LoadErrorTitle, MsgButtons::OK, MsgIcon::Information);
        if (!kept.empty())
            ctx.boxes.messageBox(DamagedCopyText(kept), LoadErrorTitle, MsgButtons::OK,
                                 MsgIcon::Information);
        return LoadOutcome::Damaged;
    }

    CloseGaps(store);
    short named = 0;
    for (int s = 0; s <= store.CrateMax; ++s)
        if (!store.CrateTable[static_cast<std::size_t>(s)].Name.empty()) ++named;
    store.CrateMax = static_cast<short>(named - 1);

    if (store.LogPath.empty()) store.LogPath = DefaultLogPath(ctx);
    if (store.LogViewer.empty()) store.LogViewer = FallbackViewer(ctx);
    store.CurrentIndex = -1;
    return LoadOutcome::Loaded;
}

void WriteDataFile(const CrateStore& store, std::ostream& out) {
    auto line = [&out](const char* key, const std::string& value) {
        out << '"' << key << value << "\"\r\n";
    };
    auto number = [&out](const char* key, short value) { out << '"' << key << value << "\"\r\n"; };
    number("MAX=", store.CrateMax);
    line("LOGPATH=", store.LogPath);
    line("LOGVIEW=", store.LogViewer);
    for (int s = 0; s <= store.CrateMax && s <= MaxCrateIndex; ++s) {
        const CrateRecord& r = store.CrateTable[static_cast<std::size_t>(s)];
        if (r.Name.empty()) continue;
        line("SNAME=", r.Name);
        line("SBLOC=", r.BackupLocation);
        line("SRLOC=", r.RestoreLocation);
        number("SCOMP=", r.Compression);
        number("SUPDATE=", r.UpdateOnly);
        number("SMULTI=", r.MultiDisk);
        number("SFOLDMAX=", r.FolderMax);
        number("SFILEMAX=", r.FileMax);
        for (int j = 0; j < r.FolderMax; ++j) line("SFOLD=", CrateRecord::Entry(r.Folders, j));
        for (int j = 0; j < r.FileMax; ++j) line("SFILE=", CrateRecord::Entry(r.Files, j));
    }
}

bool SaveCrateFile(const StoreContext& ctx) {
    // Written beside the old file and renamed over it: a failed save leaves it intact.
    auto write = [&ctx](std::ostream& out) {
        WriteDataFile(ctx.store, out);
        return static_cast<bool>(out);
    };
    if (ctx.platform.replaceFile(ctx.DataFilePath, write)) return true;
    ctx.boxes.messageBox(SaveErrorText, SaveErrorTitle, MsgButtons::OK, MsgIcon::Critical);
    return false;
}

bool ConfirmClearCrateData(const StoreContext& ctx) {
    MsgResult answer = ctx.boxes.messageBox(
        "This is to be used if your Crate data is corrupted beyond repair. It is only to be used "
        "if there is no other option and you understand the consequenses. This is will destroy "
        "ALL your crate data, forcing you to start over. Pressing Cancel will stop this "
        "operation, pressing Ok will continue.",
        "Warning", MsgButtons::OKCancel, MsgIcon::Critical);
    if (answer == MsgResult::OK) return true;
    ctx.boxes.messageBox("", "Crate Data Not Destroyed", MsgButtons::OK, MsgIcon::Information);
    return false;
}

void DestroyCrateData(const StoreContext& ctx) {
    ctx.store.clearTable();
    ctx.platform.removeFile(ctx.DataFilePath);
    ctx.platform.makeEmptyFile(ctx.DataFilePath);
    ctx.boxes.messageBox("Crate Data Destroyed", "Crate Data Destroyed", MsgButtons::OK,
                         MsgIcon::Information);
}

}  // namespace stowaway
