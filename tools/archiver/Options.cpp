#include "Options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "PathCase.h"

namespace pkzip {

using tools::IsRegularFile;
using tools::ResolvePathCase;

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool SetMode(Options& o, Mode m, std::string& error) {
    if (o.mode != Mode::Help && o.mode != m) {
        error = "only one of -add, -extract and -view may be given";
        return false;
    }
    o.mode = m;
    return true;
}

std::string Joined(const std::vector<std::string>& parts, size_t from, size_t to) {
    std::string s;
    for (size_t i = from; i < to; ++i) {
        if (i > from) s += ' ';
        s += parts[i];
    }
    return s;
}

// Restore and listing lines carry their paths unquoted, so a path with blanks
// arrives as several arguments. Take the longest leading run of arguments
// that names an existing file as the archive.
size_t ArchiveArgumentCount(const std::vector<std::string>& pos, size_t mustLeave) {
    for (size_t n = pos.size() - mustLeave; n > 1; --n) {
        if (IsRegularFile(ResolvePathCase(Joined(pos, 0, n)))) return n;
    }
    return 1;
}

}  // namespace

bool ParseSize(const std::string& text, uint64_t& out) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    uint64_t n = 0;
    size_t i = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (n > (UINT64_MAX - 9) / 10) return false;
        n = n * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    int shift = 0;
    if (i < text.size()) {
        const char unit = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        shift = unit == 'k' ? 10 : unit == 'm' ? 20 : unit == 'g' ? 30 : -1;
        if (shift < 0 || i + 1 != text.size()) return false;
    }
    if (shift > 0 && n > (UINT64_MAX >> shift)) return false;
    out = n << shift;
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg.size() > 1 && arg[0] == '-') {
            const size_t eq = arg.find('=');
            const std::string key = Lower(arg.substr(1, eq == std::string::npos ? eq : eq - 1));
            const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
            const std::string lvalue = Lower(value);
            if (key == "help" || key == "-help" || key == "?" || key == "h") {
                o.mode = Mode::Help;
                return true;
            } else if (key == "default" || key == "nofix") {
                // Accepted for the caller's sake; they change nothing here.
            } else if (key == "add") {
                if (!SetMode(o, Mode::Backup, error)) return false;
                if (lvalue == "update") {
                    o.updateOnly = true;
                } else if (lvalue == "all" || lvalue.empty()) {
                    o.updateOnly = false;
                } else {
                    error = "unknown value for -add: " + value;
                    return false;
                }
            } else if (key == "header") {
                o.headerFile = (!value.empty() && value[0] == '@') ? value.substr(1) : value;
                if (o.headerFile.empty()) {
                    error = "-header needs a file: -header=@FILE";
                    return false;
                }
            } else if (key == "span") {
                o.span = true;
                if (eq != std::string::npos) {
                    if (!ParseSize(value, o.spanSize) || o.spanSize < kMinVolumeSize) {
                        error =
                            "-span=SIZE needs a volume size of at least 64k, such as "
                            "-span=650m or -span=4g, not \"" +
                            value + "\"";
                        return false;
                    }
                }
            } else if (key == "temp") {
                o.tempDir = value;
            } else if (key == "lev") {
                if (value.size() != 1 || !std::isdigit(static_cast<unsigned char>(value[0]))) {
                    error = "-lev needs one digit from 0 to 9";
                    return false;
                }
                o.level = value[0] - '0';
            } else if (key == "path") {
                if (lvalue != "full") {
                    error = "only -path=full is supported";
                    return false;
                }
            } else if (key == "extract") {
                if (!SetMode(o, Mode::Restore, error)) return false;
                if (lvalue == "update") {
                    o.extractUpdate = true;
                } else if (lvalue == "all" || lvalue.empty()) {
                    o.extractUpdate = false;
                } else {
                    error = "unknown value for -extract: " + value;
                    return false;
                }
            } else if (key == "dir") {
                if (lvalue != "relative" && lvalue != "full" && !lvalue.empty()) {
                    error = "only -dir=relative is supported";
                    return false;
                }
            } else if (key == "newer") {
                if (lvalue != "replace" && lvalue != "keep") {
                    error = "-newer takes replace or keep";
                    return false;
                }
                o.replaceNewer = lvalue == "replace";
            } else if (key == "view") {
                if (!SetMode(o, Mode::List, error)) return false;
            } else {
                error = "unknown option " + arg;
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '@') {
            o.listFiles.push_back(arg.substr(1));
        } else if (!arg.empty()) {
            positional.push_back(arg);
        }
    }

    switch (o.mode) {
        case Mode::Help:
            if (!args.empty()) {
                error = "no action given: use -add, -extract or -view";
                return false;
            }
            return true;
        case Mode::Backup:
            if (positional.empty()) {
                error = "no archive named";
                return false;
            }
            o.archive = positional[0];
            o.files.assign(positional.begin() + 1, positional.end());
            return true;
        case Mode::Restore: {
            // One name file, as the last argument: a target's blank-separated
            // words may begin with '@' only before it.
            if (!o.listFiles.empty()) {
                if (o.listFiles.size() > 1 || args.back() != "@" + o.listFiles.back()) {
                    error = "a restore takes one name file, as its last argument";
                    return false;
                }
                o.nameFile = o.listFiles.back();
                o.listFiles.clear();
            }
            if (positional.empty()) {
                error = "no archive named";
                return false;
            }
            const size_t n = positional.size() == 1 ? 1 : ArchiveArgumentCount(positional, 1);
            o.archive = Joined(positional, 0, n);
            o.target = n < positional.size() ? Joined(positional, n, positional.size()) : ".";
            return true;
        }
        case Mode::List:
            if (positional.empty()) {
                error = "no archive named";
                return false;
            }
            o.archive = Joined(positional, 0, positional.size());
            if (positional.size() > 1 && !IsRegularFile(ResolvePathCase(o.archive))) {
                o.archive = positional[0];
            }
            return true;
    }
    return true;
}

void PrintUsage() {
    std::fputs(
        "PKZIP25.EXE - ZIP archiver for Stowaway (a stand-in for PKZIP 2.5)\n"
        "\n"
        "Backup:   PKZIP25.EXE -add=all|update [-header=@FILE] [-lev=N] [-span[=SIZE]]\n"
        "                      [-temp=DIR]\n"
        "                      -path=full [-default] [-nofix] ARCHIVE @LISTFILE [FILE...]\n"
        "Restore:  PKZIP25.EXE -extract=all|update [-newer=replace] -dir=relative ARCHIVE\n"
        "                      TARGETFOLDER [@NAMEFILE]\n"
        "Listing:  PKZIP25.EXE -view=brief ARCHIVE\n"
        "\n"
        "  -add=all      add or replace every listed file\n"
        "  -add=update   add a listed file only if the archive lacks it or holds an older copy\n"
        "  -header=@F    store the bytes of file F as the archive header (the ZIP comment)\n"
        "  -lev=N        0 stores, 1 (fastest) to 9 (smallest) deflate; default 6\n"
        "  -path=full    store each file under its full path without the leading '/'\n"
        "  -span         one file while it fits; where the file system will not let it\n"
        "                grow (a file-size limit) it goes on in volumes NAME.z01, NAME.z02,\n"
        "                ... beside it, the last one NAME.zip. When the medium is full it\n"
        "                asks for the next one: Enter goes on in the same folder (medium\n"
        "                swapped), a folder path goes on there, q stops. Without anyone to\n"
        "                answer it stops. The old archive on a full medium cannot be kept.\n"
        "  -span=SIZE    volumes of at most SIZE bytes (such as 64k, 650m, 4g; at least\n"
        "                64k), without asking\n"
        "  -temp=DIR     accepted; the new archive is built beside the old one and only\n"
        "                replaces it once complete and verified\n"
        "  -default, -nofix   accepted, no effect\n"
        "  -extract=all     extract every entry; -extract=update only entries that are\n"
        "                   missing on disk or newer than the file there\n"
        "  @NAMEFILE        extract only the entries named in NAMEFILE, one exact name a\n"
        "                   line (a name ending in / takes everything under it); a name\n"
        "                   that is not in the archive is a warning\n"
        "  -newer=replace   with -extract=all, replace files newer than the archive's\n"
        "                   copy without asking (the caller has asked)\n"
        "  -view=brief   show the archive header and the entries\n"
        "\n"
        "The list file holds one path per line. Problems are reported on lines starting\n"
        "with \"PKZIP: \"; the exit status is then non-zero.\n",
        stdout);
    std::fflush(stdout);
}

}  // namespace pkzip
