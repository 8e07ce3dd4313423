#include "store/Import.h"

#include <cstdlib>
#include <sstream>

#include "platform/Text.h"
#include "store/ArchiveHeader.h"
#include "store/CrateRecord.h"
#include "store/ItemReader.h"
#include "store/Version.h"

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

}  // namespace stowaway
