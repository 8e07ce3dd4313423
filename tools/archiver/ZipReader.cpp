#include "ZipReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "ZipFormat.h"

namespace pkzip {

std::string ZipErrorText(int code) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string text = zip_error_strerror(&e);
    zip_error_fini(&e);
    return text;
}

std::string ZipErrorText(zip_t* archive) {
    return zip_strerror(archive);
}
std::string ZipFileErrorText(zip_file_t* file) {
    return zip_file_strerror(file);
}

ZipReader::~ZipReader() {
    if (zip_) zip_discard(zip_);
}

bool ZipReader::Open(const std::string& path, std::string& error, bool checkConsistency) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a file";
        return false;
    }
    if (st.st_size == 0) {
        error = "the file is empty, not a ZIP archive";
        return false;
    }
    int code = 0;
    zip_ = zip_open(path.c_str(), ZIP_RDONLY | (checkConsistency ? ZIP_CHECKCONS : 0), &code);
    if (!zip_) {
        error = ZipErrorText(code);
        if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS || code == ZIP_ER_READ ||
            code == ZIP_ER_SEEK) {
            error += " (damaged or not a ZIP archive)";
        }
        return false;
    }
    return true;
}

uint64_t ZipReader::Count() const {
    const zip_int64_t n = zip_get_num_entries(zip_, 0);
    return n < 0 ? 0 : static_cast<uint64_t>(n);
}

bool ZipReader::Info(uint64_t index, EntryInfo& out, std::string& error) const {
    out = EntryInfo{};
    out.index = index;
    zip_stat_t st;
    zip_stat_init(&st);
    const char* name = zip_get_name(zip_, index, ZIP_FL_ENC_RAW);
    if (!name || zip_stat_index(zip_, index, ZIP_FL_ENC_RAW, &st) != 0) {
        error = ZipErrorText(zip_);
        return false;
    }
    out.name = name;
    out.size = st.size;
    out.compSize = st.comp_size;
    out.crc = st.crc;
    out.method = st.comp_method;
    out.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    out.mtime = static_cast<int64_t>(st.mtime);

    zip_uint16_t len = 0;
    const zip_uint8_t* ut =
        zip_file_extra_field_get_by_id(zip_, index, 0x5455, 0, &len, ZIP_FL_CENTRAL);
    if (ut && len >= 5 && (ut[0] & 1)) {
        const uint32_t v =
            ut[1] | (ut[2] << 8) | (ut[3] << 16) | (static_cast<uint32_t>(ut[4]) << 24);
        out.mtime = static_cast<int32_t>(v);
        out.hasUnixTime = true;
    }

    zip_uint8_t opsys = 0;
    zip_uint32_t attrs = 0;
    if (zip_file_get_external_attributes(zip_, index, 0, &opsys, &attrs) == 0) {
        out.externalAttrs = attrs;
        const uint32_t mode = attrs >> 16;
        if (opsys == ZIP_OPSYS_UNIX && mode != 0) {
            out.hasUnixMode = true;
            out.unixMode = mode;
        }
    }
    out.isDir = out.name.ends_with('/') || (out.hasUnixMode && S_ISDIR(out.unixMode)) ||
                (!out.hasUnixMode && (out.externalAttrs & 0x10));
    if (out.hasUnixMode && !out.isDir) {
        out.isSymlink = S_ISLNK(out.unixMode);
        out.isSpecial = !S_ISREG(out.unixMode) && !out.isSymlink && (out.unixMode & S_IFMT) != 0;
    }
    if (out.name == kHeaderEntryName) {
        out.isHeader = zip_file_extra_field_get_by_id(zip_, index, kHeaderMarkerId, 0, &len,
                                                      ZIP_FL_CENTRAL) != nullptr;
    }
    return true;
}

std::string ZipReader::Comment() const {
    int len = 0;
    const char* c = zip_get_archive_comment(zip_, &len, ZIP_FL_ENC_RAW);
    return c ? std::string(c, static_cast<size_t>(len)) : std::string();
}

bool ZipReader::Header(std::string& out, std::string& error) const {
    const zip_int64_t index = zip_name_locate(zip_, kHeaderEntryName, ZIP_FL_ENC_RAW);
    EntryInfo info;
    if (index < 0 || !Info(static_cast<uint64_t>(index), info, error) || !info.isHeader) {
        out = Comment();
        return true;
    }
    zip_file_t* f = zip_fopen_index(zip_, info.index, 0);
    if (!f) {
        error = ZipErrorText(zip_);
        return false;
    }
    out.clear();
    char buf[65536];
    zip_int64_t n;
    while ((n = zip_fread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    if (n < 0) error = ZipFileErrorText(f);
    zip_fclose(f);
    return n == 0;
}

}  // namespace pkzip
