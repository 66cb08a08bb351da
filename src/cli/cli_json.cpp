#include "cli/cli_json.h"

#include "catalog/collection_edits.h"
#include "catalog/lib_records.h"

#include <iostream>

std::string JsonLineText(const TJson& row) {
    // Texts are UTF-8 already; a stray byte becomes U+FFFD rather than an exception.
    return row.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

void PrintJsonLine(const TJson& row) {
    std::cout << JsonLineText(row) << '\n';
}

TJson FolderJson(const TLibFolder* f) {
    TJson j;
    j["name"] = f->Caption;
    j["path"] = GetCatalogPath(f);
    j["kind"] = IsVolume(f) ? "volume" : IsArchiveFolder(f) ? "archive" : "folder";
    j["date"] = FormatDateTimeISO(f->Date);
    j["size"] = f->FilesSize;
    j["category"] = f->Category;
    j["comments"] = f->Comments;
    if (IsVolume(f)) {
        j["serial"] = f->Serial;
        j["location"] = f->Location;
        j["source"] = f->SourcePath;
    }
    return j;
}

TJson EntryJson(const TLibFolderItem* e, const std::string& type) {
    TJson j;
    j["name"] = e->Caption.str();
    j["path"] = GetEntryCatalogPath(e);
    j["type"] = type;
    j["size"] = e->Size;
    j["date"] = FormatDateTimeISO(e->Date);
    j["category"] = e->Category.str();
    j["comments"] = e->Comments.str();
    j["tags"] = e->TagInfo.Values();
    return j;
}

const char* ColKindText(const TLibColItem* c) {
    switch (c ? c->Kind : TLibColItem::kMemo) {
    case TLibColItem::kVolumeLink:
        return "volume-link";
    case TLibColItem::kFolderLink:
        return "folder-link";
    case TLibColItem::kFileLink:
        return "file-link";
    case TLibColItem::kArchiveLink:
        return "archive-link";
    default:
        return "collection"; // a plain collection or a memo item (url, memo)
    }
}

TJson CollectionJson(const TTreeNode* node) {
    TJson j;
    j["name"] = node->Text();
    j["path"] = GetColPath(node);
    const TLibColItem* c = ColItemOf(node);
    if (!c) return j;
    j["kind"] = ColKindText(c);
    j["link"] = c->LinkPath;
    j["url"] = c->URL;
    j["memo"] = c->MemoText;
    j["image"] = c->ImageIndex;
    return j;
}
