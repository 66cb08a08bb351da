#include "cli/cli_json.h"

#include "catalog/collection_edits.h"
#include "catalog/lib_records.h"
#include "cli/cli_path.h"

#include <iostream>

std::string JsonLineText(const TJson& row) {
    // Texts are UTF-8 already; a stray byte becomes U+FFFD rather than an exception.
    return row.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

void PrintJsonLine(const TJson& row) {
    std::cout << JsonLineText(row) << '\n';
}

void PutPath(TJson& j, const std::string& key, const std::string& display,
             const std::string& written) {
    j[key] = display;
    if (written != display) j[key + "Arg"] = written;
}

std::string JsonDate(double dateTime) {
    std::string s = FormatDateTimeISO(dateTime);
    if (s.empty()) return s;
    if (auto blank = s.find(' '); blank != std::string::npos) s[blank] = 'T';
    return s + "Z";
}

TJson FolderJson(const TLibFolder* f) {
    TJson j;
    PutPath(j, "name", clipath::DisplayText(f->Caption),
            f->Node ? clipath::WrittenNodeName(f->Node) : clipath::WrittenName(f->Caption));
    PutPath(j, "path", clipath::DisplayText(GetCatalogPath(f)), clipath::WrittenFolderPath(f));
    j["kind"] = IsVolume(f) ? "volume" : IsArchiveFolder(f) ? "archive" : "folder";
    j["date"] = JsonDate(f->Date);
    j["size"] = f->Totals.Bytes;
    j["category"] = clipath::DisplayText(f->Category);
    j["comments"] = clipath::DisplayText(f->Comments);
    if (IsVolume(f)) {
        j["serial"] = clipath::DisplayText(f->Serial);
        j["location"] = clipath::DisplayText(f->Location);
        j["source"] = clipath::DisplayText(f->SourcePath);
    }
    return j;
}

TJson EntryJson(const TLibFolderItem* e, const std::string& type) {
    TJson j;
    PutPath(j, "name", clipath::DisplayText(e->Caption.view()),
            clipath::WrittenName(e->Caption.view()));
    PutPath(j, "path", clipath::DisplayText(GetEntryCatalogPath(e)), clipath::WrittenEntryPath(e));
    j["type"] = clipath::DisplayText(type);
    j["size"] = e->Size;
    j["date"] = JsonDate(e->Date);
    j["category"] = clipath::DisplayText(e->Category.view());
    j["comments"] = clipath::DisplayText(e->Comments.view());
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
    PutPath(j, "name", clipath::DisplayText(node->Text()), clipath::WrittenNodeName(node));
    PutPath(j, "path", clipath::DisplayText(GetColPath(node)), clipath::WrittenColPath(node));
    const TLibColItem* c = ColItemOf(node);
    if (!c) return j;
    j["kind"] = ColKindText(c);
    PutPath(j, "link", clipath::DisplayText(c->LinkPath), clipath::WrittenLink(c));
    j["url"] = c->URL;
    j["memo"] = c->MemoText;
    j["image"] = c->ImageIndex;
    return j;
}
