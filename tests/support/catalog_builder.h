#pragma once

#include "catalog/lib_obj.h"
#include "text/date_time.h"

#include <cstdint>
#include <string>

// Builds a catalog through the model, as a load would.
//   TCatalogBuilder b(lib);
//   TTreeNode* cd = b.Volume("CD1", "Shelf");
//   TTreeNode* docs = b.Folder(cd, "docs");          // node plus its entry in CD1
//   b.File(docs, "a.txt", 10, Day("2020-05-01"));
//   TTreeNode* zip = b.Archive(cd, "pack.zip", 50);  // an archive entry with members
class TCatalogBuilder {
public:
    explicit TCatalogBuilder(TLibObj& lib) : lib_(lib) {}

    // A volume; its source path is `caption` + "\" unless set afterwards.
    TTreeNode* Volume(const std::string& caption, const std::string& location = {},
                      const std::string& serial = {});
    // A folder node with its folder entry in the parent's list.
    TTreeNode* Folder(TTreeNode* parent, const std::string& caption, TDateTime date = 0,
                      const std::string& category = {}, const std::string& comments = {});
    // An archive file of `size` bytes whose members go into the returned node.
    TTreeNode* Archive(TTreeNode* parent, const std::string& caption, int64_t size);
    TLibFolderItem* File(TTreeNode* folder, const std::string& caption, int64_t size = 0,
                         TDateTime date = 0, const std::string& category = {},
                         const std::string& comments = {});

private:
    TLibObj& lib_;
};

// "2020-05-01" or "2020-05-01 10:00:00" as a catalog date.
TDateTime Day(const char* iso);

// Each folder's ItemsSize and each volume's VolumeSize against fresh sums of the entries.
bool TotalsAreConsistent(const TLibObj& lib);

// Catalog file bytes written by hand, for byte-level cases.
//   TCatalogBytes b;
//   b.Header("Tamblix 2.3", 1, 0, 0).Folder("CD", 0, 0, 1, 0).Entry("a.txt", 5, false);
class TCatalogBytes {
public:
    TCatalogBytes& I32(int32_t v) { return Raw(&v, 4); }
    TCatalogBytes& I64(int64_t v) { return Raw(&v, 8); }
    TCatalogBytes& F64(double v) { return Raw(&v, 8); }
    TCatalogBytes& B(uint8_t v) { return Raw(&v, 1); }
    // A length-prefixed string.
    TCatalogBytes& S(const std::string& s);
    TCatalogBytes& Header(const std::string& version, int32_t folders, int32_t cols, int32_t cats);
    TCatalogBytes& Folder(const std::string& caption, int32_t level, int32_t kind, int32_t items,
                          int32_t index, const std::string& source = "");
    // `folder` is the stored folder byte: 0 file, 1 folder (older files), 2 archive, 3 folder.
    TCatalogBytes& Entry(const std::string& caption, int64_t size, bool tags, int folder = 0,
                         const std::string& tagText = "");
    TCatalogBytes& Col(const std::string& caption, int32_t kind, int32_t level, int32_t folderIndex,
                       const std::string& linkPath);

    std::string data;

private:
    TCatalogBytes& Raw(const void* p, size_t n) {
        data.append(static_cast<const char*>(p), n);
        return *this;
    }
};
