#pragma once

#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

// A fresh folder per test, removed afterwards.
class TTempDir {
public:
    TTempDir() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "tamblix-test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TTempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// Builds catalog bytes by hand for byte-level cases.
class TBytes {
public:
    TBytes& I32(int32_t v) { return Raw(&v, 4); }
    TBytes& I64(int64_t v) { return Raw(&v, 8); }
    TBytes& F64(double v) { return Raw(&v, 8); }
    TBytes& B(uint8_t v) { return Raw(&v, 1); }
    TBytes& S(const std::string& s) {
        I32(static_cast<int32_t>(s.size()));
        data += s;
        return *this;
    }
    TBytes& Header(const std::string& version, int32_t folders, int32_t cols, int32_t cats) {
        return S(version).S("").I32(folders).I32(cols).S("").I32(cats);
    }
    TBytes& Folder(const std::string& caption, int32_t level, int32_t kind, int32_t items,
                   int32_t index, const std::string& source = "") {
        return S(caption)
            .F64(0)
            .S("")
            .S("")
            .S("")
            .I32(level)
            .I32(kind)
            .I32(items)
            .I32(index)
            .S("")
            .S(source);
    }
    TBytes& Entry(const std::string& caption, int64_t size, bool tags, bool folder = false,
                  const std::string& tagText = "") {
        S(caption).F64(0).I64(size).S("").S("").B(folder ? 1 : 0);
        if (tags) S(tagText);
        return *this;
    }
    TBytes& Col(const std::string& caption, int32_t kind, int32_t level, int32_t folderIndex,
                const std::string& linkPath) {
        return S(caption).I32(kind).I32(level).S("").S("").I32(folderIndex).S(linkPath).I32(-1);
    }
    std::string data;

private:
    TBytes& Raw(const void* p, size_t n) {
        data.append(static_cast<const char*>(p), n);
        return *this;
    }
};

// Sum of entry sizes below each folder, computed afresh, compared with DirectSize.
inline bool TotalsAreConsistent(const TLibObj& lib) {
    bool ok = true;
    lib.Tree.ForEach([&](TTreeNode* n) {
        TLibFolder* f = FolderOf(n);
        if (!f->Parent) {
            int64_t all = 0;
            for (TTreeNode* m = n; m && (m == n || m->HasAsAncestor(n)); m = TTree::NextPreOrder(m))
                all += DirectItemsSize(FolderOf(m));
            ok = ok && all == f->DirectSize;
        } else {
            ok = ok && DirectItemsSize(f) == f->DirectSize;
        }
    });
    return ok;
}
