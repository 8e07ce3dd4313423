#include "VolumeSet.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "Output.h"

namespace pkzip {

bool ConsoleVolumeAsker::CanAsk() {
    // A terminal, or the pipe or socket of the program's console window; a file
    // or /dev/null means nobody is there to answer.
    return os::InputCanAnswer();
}

std::optional<std::string> ConsoleVolumeAsker::AskFolder(const std::string& volume) {
    if (!CanAsk()) return std::nullopt;
    // On the error stream: the listing on standard output is read item by
    // item by the import, and a prompt there would shift it.
    const std::string prompt = "Cannot find the volume " + Shown(volume) +
                               ". Type the folder that holds it (an empty line looks again, q "
                               "stops):\n";
    std::fwrite(prompt.data(), 1, prompt.size(), stderr);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (answer == "q" || answer == "Q") return std::nullopt;
    return answer;
}

VolumeSet::~VolumeSet() {
    for (Volume& v : vols_) {
        if (v.fd != os::kNoHandle) os::Close(v.fd);
    }
}

bool VolumeSet::OpenOne(const std::string& path, Volume& v, std::string& error) {
    // Opened as a source, a FIFO does not wait for a writer for ever: a
    // special file is refused at once like a folder.
    const os::Handle fd = os::Open(path, os::kRead | os::kSource);
    if (fd == os::kNoHandle) {
        error = ErrnoText(os::LastError());
        return false;
    }
    os::FileInfo st;
    if (!os::Stat(fd, st) || st.type != os::FileType::File) {
        error = "not a file";
        os::Close(fd);
        return false;
    }
    v.path = path;
    v.fd = fd;
    v.size = st.size;
    return true;
}

bool VolumeSet::OpenLast(const std::string& path, std::string& error) {
    Volume v;
    if (!OpenOne(path, v, error)) return false;
    vols_.push_back(v);
    return true;
}

std::string VolumeSet::VolumeName(const std::string& last, uint32_t disk, uint32_t disks) {
    if (disk + 1 >= disks) return last;
    std::string base = last;
    const size_t slash = base.rfind('/');
    const size_t dot = base.rfind('.');
    bool upper = false;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        upper = base.compare(dot, std::string::npos, ".ZIP") == 0;
        base.resize(dot);
    }
    char num[16];
    std::snprintf(num, sizeof num, "%02u", disk + 1);
    return base + (upper ? ".Z" : ".z") + num;
}

bool VolumeSet::LocateLastVolume(const std::string& given, VolumeAsker* asker, std::string& found,
                                 std::string& error) {
    found = given;
    os::FileInfo st;
    if (os::StatPath(given, st, false) || os::LastError() != ENOENT) return true;
    const std::string first = VolumeName(given, 0, 2);
    if (!os::StatPath(first, st) || st.type != os::FileType::File) return true;  // no set here
    const size_t slash = given.rfind('/');
    const std::string leaf = slash == std::string::npos ? given : given.substr(slash + 1);
    const std::string here =
        slash == std::string::npos ? "." : given.substr(0, std::max<size_t>(slash, 1));
    for (;;) {
        std::optional<std::string> answer = asker ? asker->AskFolder(given) : std::nullopt;
        if (!answer) {
            error = "the set's last volume " + leaf + " is not in " + here + " (its volume " +
                    first.substr(slash + 1) +
                    " is): it went on in another folder; give that folder's " + leaf;
            return false;
        }
        std::string folder = *answer;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        const std::string look = folder.empty() ? given : folder + "/" + leaf;
        if (os::StatPath(look, st)) {
            found = look;
            return true;
        }
    }
}

bool VolumeSet::OpenSplit(uint32_t disks, VolumeAsker* asker, std::string& error) {
    if (vols_.size() != 1 || disks < 1) {
        error = "bad volume count";
        return false;
    }
    const std::string last = vols_[0].path;
    std::vector<Volume> all(disks);
    all[disks - 1] = vols_[0];
    std::string folder = alsoIn_;  // where the user last pointed us, if anywhere
    for (uint32_t d = 0; d + 1 < disks; ++d) {
        const std::string name = paths_.size() == disks ? paths_[d] : VolumeName(last, d, disks);
        const size_t slash = name.rfind('/');
        const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
        // Beside the last volume, else in the folder the user named last.
        std::string look = name;
        std::string why;
        for (;;) {
            if (OpenOne(name, all[d], why)) break;
            if (!folder.empty()) {
                look = folder + "/" + leaf;
                if (OpenOne(look, all[d], why)) break;
            }
            std::optional<std::string> answer = asker ? asker->AskFolder(look) : std::nullopt;
            if (!answer) {
                for (uint32_t k = 0; k < d; ++k) os::Close(all[k].fd);
                error = "cannot find volume " + look +
                        (why == ErrnoText(ENOENT) ? std::string() : " (" + why + ")");
                return false;
            }
            if (!answer->empty()) {
                folder = *answer;
                while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            }
        }
    }
    vols_ = std::move(all);
    return true;
}

bool VolumeSet::Advance(uint32_t& disk, uint64_t& offset, uint64_t n) const {
    offset += n;
    while (disk < vols_.size() && offset >= vols_[disk].size && disk + 1 < vols_.size()) {
        offset -= vols_[disk].size;
        ++disk;
    }
    return disk < vols_.size();
}

size_t VolumeSet::ReadSome(uint32_t disk, uint64_t offset, void* buf, size_t len) const {
    auto* p = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len && disk < vols_.size()) {
        const Volume& v = vols_[disk];
        if (offset >= v.size) {
            offset -= v.size;
            ++disk;
            continue;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(len - done, v.size - offset));
        const int64_t n = os::ReadAt(v.fd, p + done, want, offset);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return done;
}

bool VolumeSet::ReadAt(uint32_t disk, uint64_t offset, void* buf, size_t len,
                       std::string& error) const {
    auto* p = static_cast<unsigned char*>(buf);
    while (len > 0) {
        if (disk >= vols_.size()) {
            error = "the archive ends early";
            return false;
        }
        const Volume& v = vols_[disk];
        if (offset >= v.size) {
            offset -= v.size;
            ++disk;
            continue;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(len, v.size - offset));
        const int64_t n = os::ReadAt(v.fd, p, want, offset);
        if (n < 0) {
            if (os::LastError() == EINTR) continue;
            error = "cannot read " + v.path + ": " + ErrnoText(os::LastError());
            return false;
        }
        if (n == 0) {
            error = "the archive ends early";
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace pkzip
