#include "search/export.h"

#include "files/input_file.h"
#include "files/safe_file.h"
#include "files/standard_streams.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "text/text_utils.h"

#include <algorithm>
#include <optional>
#include <utility>

const std::vector<std::string>& TExportOptions::FieldNames() {
    static const std::vector<std::string> names = {
        "Volume",   "VolumeSerialNo", "Path",     "Name", "Size",    "Date",
        "Category", "Comments",       "Location", "Type", "FilePath"};
    return names;
}

TExportOptions::TExportOptions() {
    for (const auto& n : FieldNames())
        Fields.push_back(
            {n, n == "Volume" || n == "Path" || n == "Name" || n == "Size" || n == "Date"});
}

void TExportOptions::Load(const ISettingsStore& s) {
    ReadFieldItems(s, kKey, Fields);
    FileName = s.ReadString(kKey, "File", FileName);
    Separator = s.ReadString(kKey, "Separator", Separator);
    Qualifier = s.ReadString(kKey, "Txt Separator", Qualifier);
    SizeUnit = static_cast<int>(std::clamp<int64_t>(s.ReadInt(kKey, "Size", SizeUnit), 0, 2));
    LevelsUse = s.ReadBool(kKey, "Levels Use", LevelsUse);
    Levels = static_cast<int>(std::clamp<int64_t>(s.ReadInt(kKey, "Levels", Levels), 1, 999));
    Archives = s.ReadBool(kKey, "Archives as file", Archives);
    Folders = s.ReadBool(kKey, "Folders", Folders);
    FoldersOnly = s.ReadBool(kKey, "Folders Only", FoldersOnly);
    FolderTotals = s.ReadBool(kKey, "Folders Totals", FolderTotals);
    Indent = s.ReadBool(kKey, "Indent", Indent);
}

void TExportOptions::Save(ISettingsStore& s) const {
    WriteFieldItems(s, kKey, Fields);
    s.WriteString(kKey, "File", FileName);
    s.WriteString(kKey, "Separator", Separator);
    s.WriteString(kKey, "Txt Separator", Qualifier);
    s.WriteInt(kKey, "Size", SizeUnit);
    s.WriteBool(kKey, "Levels Use", LevelsUse);
    s.WriteInt(kKey, "Levels", Levels);
    s.WriteBool(kKey, "Archives as file", Archives);
    s.WriteBool(kKey, "Folders", Folders);
    s.WriteBool(kKey, "Folders Only", FoldersOnly);
    s.WriteBool(kKey, "Folders Totals", FolderTotals);
    s.WriteBool(kKey, "Indent", Indent);
}

const char* ExportCaptionKey(TExportScope scope) {
    switch (scope) {
    case TExportScope::Selection:
        return "expCaptVol";
    case TExportScope::Results:
        return "expCaptRes";
    default:
        return "expCaptLib";
    }
}

namespace {

// The column writer with everything a line needs resolved once.
struct TLineWriter {
    const TExportOptions& o;
    std::string sep, q;
    std::vector<std::string> columns;

    explicit TLineWriter(const TExportOptions& opt)
        : o(opt), sep(ResolveSeparator(opt.Separator)), q(ResolveQualifier(opt.Qualifier)),
          columns(CheckedFieldNames(opt.Fields)) {}

    bool Skip(const TLibFolderItem* e, int level) const {
        if (o.LevelsUse && level > o.Levels) return true;
        if (o.Folders) return o.FoldersOnly && !e->IsFolder;
        if (o.Archives) return e->IsFolder != 0;
        // Members listed in an archive folder are left out.
        return IsArchiveFolder(e->Owner);
    }

    void Column(std::string& line, const std::string& name, const TLibFolderItem* e) const {
        TLibFolder* owner = e->Owner;
        TLibFolder* vol = GetVolume(owner);
        // Text columns are enclosed (with the qualifier doubled inside), so
        // that names holding the separator or the qualifier read back as they were.
        if (name == "Volume") {
            line += QuoteField(vol ? vol->Caption : std::string(), q);
        } else if (name == "VolumeSerialNo") {
            line += QuoteField(vol ? vol->Serial : std::string(), q);
        } else if (name == "Path") {
            line += QuoteField(GetCatalogPath(owner), q);
        } else if (name == "Name") {
            line += QuoteField(e->Caption.view(), q);
        } else if (name == "FilePath") {
            line += QuoteField(GetEntryCatalogPath(e), q);
        } else if (name == "Type") {
            line += QuoteField(GetEntryType(e), q);
        } else if (name == "Size") {
            int64_t size = e->Size;
            if (o.Folders && o.FolderTotals && e->IsFolder) {
                TLibFolder* f = EntryFolder(e);
                if (f && f != owner) size = f->ItemsSize;
            }
            line += Bare(FormatSizePlain(o.SizeUnit, size, o.KBText, o.MBText));
        } else if (name == "Date") {
            line += Bare(FormatDateTimeISO(e->Date));
        } else if (name == "Category") {
            line += QuoteField(e->Category.view(), q);
        } else if (name == "Comments") {
            line += QuoteField(OneLineText(e->Comments.view(), o.NewLine), q);
        } else if (name == "Location") {
            line += QuoteField(vol ? vol->Location : std::string(), q);
        } else {
            return; // an unknown item adds nothing
        }
        line += sep;
    }

    // Sizes and dates stand bare, unless the separator occurs in them (" "
    // and "-" do): then they are enclosed, or the import would shift columns.
    std::string Bare(std::string text) const {
        if (q.empty() || sep.empty() || text.find(sep) == std::string::npos) return text;
        return QuoteField(text, q);
    }

    std::string Line(const TLibFolderItem* e) const {
        if (!e->Owner) return {};
        TTreeNode* node = EntryNode(e);
        int level = node ? node->Level() : 0;
        if (Skip(e, level)) return {};
        std::string line;
        if (o.Indent && level >= 2)
            for (int i = 0; i < level - 1; ++i)
                line += sep;
        for (const auto& c : columns)
            Column(line, c, e);
        if (!sep.empty() && line.size() >= sep.size() &&
            line.compare(line.size() - sep.size(), sep.size(), sep) == 0)
            line.resize(line.size() - sep.size());
        return line;
    }
};

// Choices whose text the import could not split again are refused.
void CheckReadableChoices(const TExportOptions& o) {
    const std::string sep = ResolveSeparator(o.Separator), q = ResolveQualifier(o.Qualifier);
    if (sep.empty()) throw EMessageError("errSepEmpty");
    if (!q.empty() && (sep.find(q) != std::string::npos || q.find(sep) != std::string::npos))
        throw EMessageError("errSepQualifier", "[" + sep + "] [" + q + "]");
    if (!q.empty()) return; // sizes and dates that hold the separator are quoted
    // Bare sizes and dates: digits, blanks, "-", ":", "." and the unit words.
    bool clash = sep.find_first_of("0123456789 -:.") != std::string::npos;
    if (o.SizeUnit != 0)
        clash = clash || (o.SizeUnit == 1 ? o.KBText : o.MBText).find(sep) != std::string::npos;
    if (clash) throw EMessageError("errSepInValues", "[" + sep + "]");
}

} // namespace

std::string ExportLine(const TExportOptions& o, const TLibFolderItem* e) {
    return TLineWriter(o).Line(e);
}

void RunExport(const TLibObj& lib, const TExportOptions& o, TExportScope scope,
               const std::vector<TTreeNode*>& selected, TSearchResults* results,
               IProgress& progress) {
    try {
        if (o.FileName.empty()) throw EMessageError("errFileEmpty");
        // Writing over the open catalog would destroy it.
        if (SameExistingFile(o.FileName, lib.FileName))
            throw EMessageError("errSameFile", o.FileName);
        CheckReadableChoices(o);
        const TLineWriter w(o);
        // Standard output is written as it is; a file is replaced when all went well.
        std::optional<TStandardOutputWriter> console;
        std::optional<TSafeFileWriter> file;
        if (IsStandardOutput(o.FileName))
            console.emplace(o.FileName);
        else
            file.emplace(o.FileName);
        auto write = [&](const TLibFolderItem* e) {
            std::string line = w.Line(e);
            if (line.empty()) return;
            line += "\r\n";
            if (console)
                console->Write(line);
            else
                file->Write(line);
        };
        auto poll = [&] {
            if (progress.StopRequested()) throw EMessageError("infoCancel");
        };
        const std::string title = GetMessageText("msgsExporting", o.FileName);
        switch (scope) {
        case TExportScope::Library: {
            progress.BeginProgress(title, lib.Tree.TotalCount());
            int64_t i = 0;
            for (TTreeNode* n = lib.Tree.FirstNode(); n; n = TTree::NextPreOrder(n), ++i) {
                progress.StepProgress(n->Text(), i);
                poll();
                for (const auto& e : FolderOf(n)->Items())
                    write(e.get());
            }
            break;
        }
        case TExportScope::Selection: {
            progress.BeginProgress(title, static_cast<int64_t>(selected.size()));
            int64_t i = 0;
            for (TTreeNode* start : selected) {
                if (!start || start->Tree() != &lib.Tree) continue;
                progress.StepProgress(start->Text(), i++);
                // Depth first, each folder's contents right below its own line;
                // a stack instead of recursion for deep trees.
                std::vector<std::pair<const TLibFolder*, size_t>> stack{{FolderOf(start), 0}};
                while (!stack.empty()) {
                    auto& [folder, index] = stack.back();
                    if (index >= folder->Items().size()) {
                        stack.pop_back();
                        continue;
                    }
                    const TLibFolderItem* e = folder->Items()[index++].get();
                    write(e);
                    if (!e->IsFolder) continue;
                    TTreeNode* sub = EntryNode(e);
                    // A folder entry without a node of its own has nothing below it.
                    if (sub && sub != folder->Node) {
                        poll();
                        stack.push_back({FolderOf(sub), 0});
                    }
                }
            }
            break;
        }
        case TExportScope::Results: {
            static const std::vector<TSearchRow> none;
            bool valid = results && results->Valid();
            const auto& rows = valid ? results->Rows : none;
            progress.BeginProgress(title, static_cast<int64_t>(rows.size()));
            {
                for (size_t i = 0; i < rows.size(); ++i) {
                    if ((i & 1023) == 0) {
                        progress.StepProgress(rows[i].Entry->Caption.str(),
                                              static_cast<int64_t>(i));
                        poll();
                    }
                    write(rows[i].Entry);
                }
            }
            break;
        }
        }
        if (console)
            console->Commit();
        else
            file->Commit();
        progress.ShowStatus(GetMessageText("msgsExported", o.FileName), {}, true);
    } catch (...) {
        progress.ShowStatus(GetMessageText("msgsExportFailed", o.FileName), {}, true);
        throw;
    }
}
