#include "support/catalog_builder.h"

#include <memory>

TTreeNode* TCatalogBuilder::Volume(const std::string& caption, const std::string& location,
                                   const std::string& serial) {
    auto f = std::make_unique<TLibFolder>();
    f->Caption = caption;
    f->Location = location;
    f->Serial = serial;
    f->SourcePath = caption + "\\";
    return lib_.AddVolumeNode(std::move(f));
}

TTreeNode* TCatalogBuilder::Folder(TTreeNode* parent, const std::string& caption, TDateTime date,
                                   const std::string& category, const std::string& comments) {
    auto f = std::make_unique<TLibFolder>();
    f->Caption = caption;
    f->Date = date;
    f->Category = category;
    f->Comments = comments;
    TLibFolderItem* e = File(parent, caption, 0, date, category, comments);
    e->IsFolder = 1;
    return lib_.AddFolderNode(parent, std::move(f));
}

TTreeNode* TCatalogBuilder::Archive(TTreeNode* parent, const std::string& caption, int64_t size) {
    // The size goes in with the entry, so that the folder totals count it.
    TLibFolderItem* e = File(parent, caption, size);
    e->IsFolder = 1;
    e->IsArchive = 1;
    auto f = std::make_unique<TLibFolder>();
    f->Caption = caption;
    f->IsArchive = true;
    return lib_.AddFolderNode(parent, std::move(f));
}

TLibFolderItem* TCatalogBuilder::File(TTreeNode* folder, const std::string& caption, int64_t size,
                                      TDateTime date, const std::string& category,
                                      const std::string& comments) {
    auto e = std::make_unique<TLibFolderItem>();
    e->Caption = caption;
    e->Size = size;
    e->Date = date;
    e->Category = category;
    e->Comments = comments;
    return lib_.AddEntry(FolderOf(folder), std::move(e));
}

TDateTime Day(const char* iso) {
    TDateTime d = 0;
    ParseDateTimeISO(iso, d);
    return d;
}

bool TotalsAreConsistent(const TLibObj& lib) {
    bool ok = true;
    lib.Tree.ForEach([&](TTreeNode* n) {
        TLibFolder* f = FolderOf(n);
        if (!f->Parent) {
            int64_t all = 0;
            for (TTreeNode* m = n; m && (m == n || m->HasAsAncestor(n)); m = TTree::NextPreOrder(m))
                all = AddSizes(all, DirectItemsSize(FolderOf(m)));
            ok = ok && all == f->VolumeSize;
        } else {
            ok = ok && f->VolumeSize == 0;
        }
        ok = ok && DirectItemsSize(f) == f->ItemsSize;
    });
    return ok;
}

TCatalogBytes& TCatalogBytes::S(const std::string& s) {
    I32(static_cast<int32_t>(s.size()));
    data += s;
    return *this;
}

TCatalogBytes& TCatalogBytes::Header(const std::string& version, int32_t folders, int32_t cols,
                                     int32_t cats) {
    return S(version).S("").I32(folders).I32(cols).S("").I32(cats);
}

TCatalogBytes& TCatalogBytes::Folder(const std::string& caption, int32_t level, int32_t kind,
                                     int32_t items, int32_t index, const std::string& source) {
    return S(caption).F64(0).S("").S("").S("").I32(level).I32(kind).I32(items).I32(index).S("").S(
        source);
}

TCatalogBytes& TCatalogBytes::Entry(const std::string& caption, int64_t size, bool tags, int folder,
                                    const std::string& tagText) {
    S(caption).F64(0).I64(size).S("").S("").B(static_cast<uint8_t>(folder));
    if (tags) S(tagText);
    return *this;
}

TCatalogBytes& TCatalogBytes::Col(const std::string& caption, int32_t kind, int32_t level,
                                  int32_t folderIndex, const std::string& linkPath) {
    return S(caption).I32(kind).I32(level).S("").S("").I32(folderIndex).S(linkPath).I32(-1);
}
