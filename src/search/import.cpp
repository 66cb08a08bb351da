#include "search/import.h"

#include "catalog/scan_ops.h"
#include "catalog/tree.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "text/text_utils.h"

#include <algorithm>

const std::vector<std::string>& TImportOptions::FieldNames() {
    static const std::vector<std::string> names = {
        "Volume",   "VolumeSerialNo", "Path",     "Name", "Size",    "Date",
        "Category", "Comments",       "Location", "Type", "FilePath"};
    return names;
}

TImportOptions::TImportOptions() {
    for (const auto& n : FieldNames())
        Fields.push_back(
            {n, n == "Volume" || n == "Path" || n == "Name" || n == "Size" || n == "Date"});
}

void TImportOptions::ForceRequired() {
    for (auto& f : Fields)
        if (f.Name == "Volume" || f.Name == "Path" || f.Name == "Name") f.Checked = true;
}

void TImportOptions::Load(const ISettingsStore& s) {
    ReadFieldItems(s, kKey, Fields);
    FileName = s.ReadString(kKey, "File", FileName);
    Separator = s.ReadString(kKey, "Separator", Separator);
    Qualifier = s.ReadString(kKey, "Txt Separator", Qualifier);
    SizeUnit = static_cast<int>(std::clamp<int64_t>(s.ReadInt(kKey, "Size", SizeUnit), 0, 2));
    ForceRequired();
}

void TImportOptions::Save(ISettingsStore& s) const {
    WriteFieldItems(s, kKey, Fields);
    s.WriteString(kKey, "File", FileName);
    s.WriteString(kKey, "Separator", Separator);
    s.WriteString(kKey, "Txt Separator", Qualifier);
    s.WriteInt(kKey, "Size", SizeUnit);
}

namespace {

// The catalog path a volume of this caption gets ("CD1" -> "CD1\", "C:\" -> "C:\").
std::string VolumeCatalogPath(const std::string& caption) {
    std::string c = caption;
    auto first = c.find('\\');
    if (first != std::string::npos && first == c.size() - 1) c.pop_back();
    // A "\" inside a name stands in the path as its stand-in character.
    return nametext::CaptionToPathPart(c) + "\\";
}
// The path below the volume. An exported Path starts with the volume's own
// catalog path; taking it as it stands would build Volume\Volume\...
std::string RelativePath(const std::string& volume, std::string path) {
    const std::string volPath = VolumeCatalogPath(volume);
    if (path.compare(0, volPath.size(), volPath) == 0)
        path.erase(0, volPath.size());
    else if (path + "\\" == volPath)
        path.clear();
    while (!path.empty() && path.front() == '\\')
        path.erase(0, 1);
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

std::vector<std::string> PathComponents(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) out.push_back(path.substr(i, j - i)); // "\\" gives no empty folder
        i = j + 1;
    }
    return out;
}

bool IsBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// How many refused records are named one by one when the whole file is refused.
constexpr size_t kRefusedShown = 3;

// A record's text for a log line: one line, not too long.
std::string Excerpt(std::string_view raw) {
    // Control bytes (a terminal's escape sequences among them) are shown, not sent.
    std::string s;
    for (char c : nametext::ToDisplayName(raw.substr(0, 200))) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            s += c;
        } else {
            static const char* hex = "0123456789abcdef";
            s += "\\x";
            s += hex[u >> 4];
            s += hex[u & 15];
        }
    }
    return s;
}

} // namespace

TImportParse ParseImportText(std::string_view text, const TImportOptions& o, IProgress& progress) {
    TImportOptions opt = o;
    opt.ForceRequired();
    const std::vector<std::string> columns = CheckedFieldNames(opt.Fields);
    auto columnOf = [&](const char* name) {
        auto it = std::find(columns.begin(), columns.end(), name);
        return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
    };
    const int cVolume = columnOf("Volume"), cPath = columnOf("Path"), cName = columnOf("Name"),
              cSerial = columnOf("VolumeSerialNo"), cSize = columnOf("Size"),
              cDate = columnOf("Date"), cCategory = columnOf("Category"),
              cComments = columnOf("Comments"), cLocation = columnOf("Location");

    TImportParse out;
    std::vector<std::string> refusals;
    auto refuse = [&](size_t line, const char* why, std::string_view raw) {
        ++out.Errors;
        refusals.push_back(
            GetMessageText("msgsImpErr", std::to_string(line) + " (" + why + "): " + Excerpt(raw)));
    };
    // With a line-end separator every column stands on lines of its own.
    TDelimitedReader reader(text, ResolveSeparator(opt.Separator), ResolveQualifier(opt.Qualifier),
                            std::max<size_t>(columns.size(), 1));
    TDelimitedRecord rec;
    while (reader.Next(rec)) {
        if (IsBlank(rec.Raw)) continue;
        ++out.Records;
        // A NUL would cut a name short and merge it with another.
        if (rec.Raw.find('\0') != std::string_view::npos) {
            refuse(rec.Line, "NUL", rec.Raw);
            continue;
        }
        // Broken quoting or a count of fields other than the columns means
        // the columns cannot be told apart: never guessed.
        if (rec.Malformed) {
            refuse(rec.Line, "unpaired quote", rec.Raw);
            continue;
        }
        if (rec.Fields.size() != columns.size()) {
            const std::string why = std::to_string(rec.Fields.size()) + " fields for " +
                                    std::to_string(columns.size()) + " columns";
            refuse(rec.Line, why.c_str(), rec.Raw);
            continue;
        }
        auto field = [&](int c) {
            return c >= 0 && static_cast<size_t>(c) < rec.Fields.size()
                       ? nametext::ToDisplayName(rec.Fields[static_cast<size_t>(c)])
                       : std::string();
        };
        TImportObj obj;
        obj.LineNo = rec.Line;
        obj.Volume = field(cVolume);
        obj.Name = field(cName); // as the export wrote it, leading "\" and all
        if (obj.Volume.empty() || obj.Name.empty()) {
            refuse(rec.Line, obj.Volume.empty() ? "Volume" : "Name", rec.Raw);
            continue;
        }
        // A field that does not read is an error, never a silent zero: it
        // usually means the columns have shifted.
        const std::string size = field(cSize), date = field(cDate);
        if (!IsBlank(size) && !ParseSizeText(size, obj.Size, opt.KBText, opt.MBText)) {
            refuse(rec.Line, "Size", rec.Raw);
            continue;
        }
        if (!IsBlank(date) && !ParseDateText(date, obj.Date)) {
            refuse(rec.Line, "Date", rec.Raw);
            continue;
        }
        obj.Path = RelativePath(obj.Volume, field(cPath));
        obj.Serial = field(cSerial);
        obj.HasCategory = cCategory >= 0;
        obj.Category = field(cCategory);
        obj.HasComments = cComments >= 0;
        obj.Comments = field(cComments);
        obj.HasLocation = cLocation >= 0;
        obj.Location = field(cLocation);
        out.Objects.push_back(std::move(obj));
    }
    // Lines in any order give the same tree; one volume's lines stay together
    // (exact volume text), and names that differ only in case are two files.
    auto& objs = out.Objects;
    std::stable_sort(objs.begin(), objs.end(), [](const TImportObj& a, const TImportObj& b) {
        if (int c = CompareNames(a.Volume, b.Volume)) return c < 0;
        if (int c = CompareNames(a.Path, b.Path)) return c < 0;
        return CompareNames(a.Name, b.Name) < 0;
    });
    // A repeated key keeps its first line; the others are refused.
    size_t kept = 0;
    int64_t repeated = 0;
    for (size_t i = 0; i < objs.size(); ++i) {
        if (kept > 0) {
            const TImportObj& a = objs[kept - 1];
            const TImportObj& b = objs[i];
            if (a.Volume == b.Volume && a.Path == b.Path && a.Name == b.Name) {
                refuse(b.LineNo, "repeated", b.Key());
                ++repeated;
                continue;
            }
        }
        if (kept != i) objs[kept] = std::move(objs[i]);
        ++kept;
    }
    objs.resize(kept);
    // Mostly refused records mean this is not the delimited text it was
    // taken for: refuse the file before anything is added.
    if (out.Errors > 0 && out.Errors * 2 > out.Records) {
        for (size_t i = 0; i < refusals.size() && i < kRefusedShown; ++i)
            progress.LogMessage(refusals[i]);
        throw EMessageError("errNotDelimited", o.FileName);
    }
    for (const auto& r : refusals)
        progress.LogMessage(r);
    // Said plainly, as a list of line errors does not: the usual cause is two
    // volumes of one name, which a text file cannot tell apart.
    if (repeated > 0)
        progress.LogMessage(GetMessageText("msgsImpMerged", std::to_string(repeated)));
    return out;
}

TImportResult RunImport(TLibObj& lib, const TImportOptions& o, IProgress& progress) {
    TImportResult result;
    TTreeNode* lastVolume = nullptr;
    bool begun = false;
    auto finish = [&] {
        if (!begun) progress.BeginProgress(GetMessageText("msgsImporting", o.FileName), 0);
        // Counted first: the summary line gives the catalog's totals after the import.
        lib.Recount();
        progress.EndProgress(GetMessageText("msgsImported", o.FileName));
        lib.Modified = true;
        if (lastVolume && o.LastVolume) *o.LastVolume = lastVolume;
    };
    try {
        if (o.FileName.empty()) throw EMessageError("errFileEmpty");
        std::string text = ReadTextFile(o.FileName);
        TImportParse parsed = ParseImportText(text, o, progress);
        text.clear();
        text.shrink_to_fit();
        result.Errors = parsed.Errors;
        const std::vector<TImportObj>& objs = parsed.Objects;

        progress.BeginProgress(GetMessageText("msgsImporting", o.FileName),
                               static_cast<int64_t>(objs.size()));
        begun = true;
        // No handler list: the import reads no file but its own.
        TVolumeScanner scanner(lib, nullptr, progress);
        TTreeNode* volumeNode = nullptr;
        std::string prevVolume, prevPath;
        bool reenter = true;
        for (size_t i = 0; i < objs.size(); ++i) {
            const TImportObj& obj = objs[i];
            progress.StepProgress(std::string(), static_cast<int64_t>(i));
            if (progress.StopRequested()) throw EMessageError("infoCancel");
            try {
                if (!volumeNode || obj.Volume != prevVolume) {
                    std::string root = obj.Volume;
                    if (root.back() != '\\') root += '\\';
                    volumeNode = nullptr;
                    volumeNode = scanner.CreateVolume(root, obj.Volume, obj.Serial);
                    lastVolume = volumeNode;
                    prevVolume = obj.Volume;
                    ++result.Volumes;
                    reenter = true;
                }
                // Everything of this Volume text goes below the volume made for it.
                TLibFolder* volume = FolderOf(volumeNode);
                if (obj.HasLocation && !obj.Location.empty() && volume->Location.empty())
                    volume->Location = obj.Location;
                if (reenter || obj.Path != prevPath) {
                    reenter = true;
                    std::string p = GetCatalogPath(volume);
                    scanner.EnterFolder(p, 0);
                    scanner.SetCurrentNode(volumeNode);
                    for (const std::string& part : PathComponents(obj.Path)) {
                        // A "\\" inside a name stands as a stand-in in paths.
                        const std::string c = nametext::PathPartToCaption(part);
                        TLibFolder* cur = FolderOf(scanner.CurrentNode());
                        // A folder's own line (read earlier) keeps its date.
                        if (!cur->FindItem(c))
                            scanner.AddFoundEntry(p, c, false, true, obj.Date, 0);
                        TLibFolderItem* e = cur->FindItem(c);
                        TTreeNode* before = scanner.CurrentNode();
                        p += part + "\\";
                        scanner.EnterFolder(p, e ? e->Date : 0);
                        if (scanner.CurrentNode() == before) throw EMessageError("msgsImpErr", p);
                    }
                    prevPath = obj.Path;
                    reenter = false;
                }
                scanner.AddFoundEntry(GetCatalogPath(FolderOf(scanner.CurrentNode())), obj.Name,
                                      false, false, obj.Date, obj.Size);
                TLibFolderItem* e = FolderOf(scanner.CurrentNode())->FindItem(obj.Name);
                if (!e) throw EMessageError("msgsImpErr", obj.Key());
                if (obj.HasCategory) e->Category = obj.Category;
                if (obj.HasComments) e->Comments = obj.Comments;
                ++result.Entries;
            } catch (const std::exception&) {
                ++result.Errors;
                progress.LogMessage(GetMessageText("msgsImpErr", obj.Key()));
            }
        }
    } catch (const std::exception&) {
        progress.ShowStatus(GetMessageText("msgsImportFailed", o.FileName), {}, true);
        finish();
        throw;
    }
    finish();
    return result;
}
