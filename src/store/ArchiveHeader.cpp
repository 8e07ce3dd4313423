#include "store/ArchiveHeader.h"

#include <fstream>

#include "platform/NativeText.h"
#include "platform/Platform.h"
#include "store/CrateRecord.h"
#include "store/Version.h"

namespace stowaway {

std::string FormatArchiveHeader(const CrateRecord& crate) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\r\n"; };
    line("");
    line(ArchiveHeaderMagic);
    line("Version: " + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor));
    line("Criticals:");
    line("  Name: " + crate.Name);
    line("  Backup Location: " + crate.BackupLocation);
    line("  Restore Location: " + crate.RestoreLocation);
    line("  Compression Level: " + std::to_string(crate.Compression));
    line("Options:");
    line("  Update Only: " + std::to_string(crate.UpdateOnly));
    line("  Multi-Disk Mode: " + std::to_string(crate.MultiDisk));
    line("Crate Data:");
    line("  Max Folders: " + std::to_string(crate.FolderMax));
    for (int j = 0; j < crate.FolderMax; ++j)
        line("    Folder: " + CrateRecord::Entry(crate.Folders, j));
    line("  Max Files: " + std::to_string(crate.FileMax));
    for (int j = 0; j < crate.FileMax; ++j) line("    File: " + CrateRecord::Entry(crate.Files, j));
    return out;
}

bool WriteArchiveHeader(const Platform& platform, const CrateRecord& crate,
                        const std::string& path) {
    std::ofstream out(toPath(platform.native(path)), std::ios::binary | std::ios::trunc);
    out << FormatArchiveHeader(crate);
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace stowaway
