#include "catalog/file_identity.h"

#include <sys/stat.h>

TFileIdentity TFileIdentity::Of(const struct stat& st) {
    TFileIdentity id;
    id.Device = static_cast<uint64_t>(st.st_dev);
    id.Inode = static_cast<uint64_t>(st.st_ino);
    id.Size = static_cast<int64_t>(st.st_size);
    id.ModifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    id.ModifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return id;
}

TFileIdentity TFileIdentity::OfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return Of(st);
}
