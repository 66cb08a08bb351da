#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_files.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "cli/search_output.h"
#include "search/delimited_text.h"
#include "search/saved_search.h"
#include "search/search_engine.h"
#include "search/stream_search.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/string_list.h"
#include "text/text_utils.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

namespace {

TDateTime ParseDay(const std::string& option, const std::string& text) {
    TDateTime d;
    if (!ParseDateText(text, d)) throw EUsageError(option + " needs a date (YYYY-MM-DD)");
    return d;
}

int SizeUnitOf(const std::string& text) {
    if (SameText(text, "bytes") || SameText(text, "b")) return 0;
    if (SameText(text, "KB")) return 1;
    if (SameText(text, "MB")) return 2;
    throw EUsageError("--unit takes bytes, KB or MB");
}

int SignOf(const std::string& text) {
    if (text == "=") return kSignEqual;
    if (text == ">") return kSignGreater;
    if (text == "<") return kSignLess;
    throw EUsageError("--size takes =, > or < and a number");
}

int64_t SizeValueOf(const std::string& text) {
    try {
        size_t used = 0;
        long long v = std::stoll(text, &used);
        if (used == text.size() && v >= 0 && v <= 2147483647) return v;
    } catch (const std::exception&) {
    }
    throw EUsageError("--size needs a number from 0 to 2147483647");
}

// "--size > 5" (two words), "--size >5" (one), "--size=>5" or "--size='> 5'".
bool TakeSize(TCliContext& ctx, TSearchCriteria& c) {
    ctx.CheckDeclared("--size", true);
    ctx.SplitOperands();
    auto& a = ctx.Args;
    for (size_t i = 0; i < a.size(); ++i) {
        const bool joined = a[i].rfind("--size=", 0) == 0;
        if (!joined && a[i] != "--size") continue;
        size_t next = i + 1; // the first word not yet taken
        auto word = [&]() -> std::string {
            if (next >= a.size()) throw EUsageError("--size needs a sign and a number");
            return a[next++];
        };
        const std::string first = joined ? a[i].substr(7) : word();
        std::string sign, value;
        if (first.size() > 1 && (first[0] == '=' || first[0] == '>' || first[0] == '<')) {
            sign = first.substr(0, 1);
            value = first.substr(std::min(first.find_first_not_of(' ', 1), first.size()));
        } else {
            sign = first;
            value = word();
        }
        c.SizeUse = true;
        c.SizeSign = SignOf(sign);
        c.SizeValue = SizeValueOf(value);
        a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(next));
        ctx.RefuseRepeat("--size");
        return true;
    }
    return false;
}

// "--duplicates content", "--duplicates names" or "--duplicates=MODE"; a
// plain --duplicates is left to the switch and compares names.
void TakeDuplicateMode(TCliContext& ctx, TSearchCriteria& c) {
    ctx.CheckDeclared("--duplicates", false);
    ctx.SplitOperands();
    auto& a = ctx.Args;
    for (size_t i = 0; i < a.size();) {
        std::string mode;
        size_t used = 1;
        if (a[i].rfind("--duplicates=", 0) == 0) {
            mode = a[i].substr(13);
        } else if (a[i] == "--duplicates" && i + 1 < a.size() &&
                   (SameText(a[i + 1], "content") || SameText(a[i + 1], "names"))) {
            mode = a[i + 1];
            used = 2;
        } else {
            ++i;
            continue;
        }
        if (SameText(mode, "content"))
            c.DupMode = TDupMode::Content;
        else if (SameText(mode, "names"))
            c.DupMode = TDupMode::Names;
        else
            throw EUsageError("--duplicates takes names or content");
        c.Duplicates = true;
        a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i + used));
    }
}

// "A..B", "A.." or "..B"; a text without ".." is both ends.
std::pair<std::string, std::string> SplitRange(const std::string& option, const std::string& text) {
    auto dots = text.find("..");
    if (dots == std::string::npos) return {text, text};
    std::pair<std::string, std::string> r{text.substr(0, dots), text.substr(dots + 2)};
    if (r.first.empty() && r.second.empty()) throw EUsageError(option + " needs a bound");
    return r;
}

std::optional<double> SecondsOf(const std::string& text) {
    if (text.empty()) return std::nullopt;
    try {
        size_t used = 0;
        double v = std::stod(text, &used);
        if (used == text.size() && std::isfinite(v) && v >= 0) return v;
    } catch (const std::exception&) {
    }
    throw EUsageError("--duration takes seconds: MIN..MAX, MIN.. or ..MAX");
}

void TakeTagRanges(TCliContext& ctx, TSearchCriteria& c) {
    std::string value;
    if (ctx.TakeOption("--duration", value)) {
        auto [low, high] = SplitRange("--duration", value);
        c.DurationUse = true;
        c.DurationMin = SecondsOf(low);
        c.DurationMax = SecondsOf(high);
    }
    if (ctx.TakeOption("--taken", value)) {
        auto [low, high] = SplitRange("--taken", value);
        c.TakenUse = true;
        c.TakenFrom = low.empty() ? std::string() : FormatDateISO(ParseDay("--taken", low));
        c.TakenTo = high.empty() ? std::string() : FormatDateISO(ParseDay("--taken", high));
    }
}

int ColumnOf(std::string text) {
    const char* const* aliases = kSearchColumnKeys;
    for (int i = 0; i < kSearchColumnCount; ++i)
        if (SameText(text, aliases[i]) ||
            SameText(text, kSearchColumnNames[static_cast<size_t>(i)]))
            return i;
    if (SameText(text, "filepath")) return kColFullName;
    if (text.size() <= 2 && !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        int n = std::stoi(text);
        if (n >= 0 && n < kSearchColumnCount) return n;
    }
    throw EUsageError("--sort takes a column name (name, type, volume, path, size, date, "
                      "category, comments, duplicates, fullname, location)");
}

// One value a replace would change.
struct TReplaceChange {
    TLibFolderItem* Entry;
    bool Category; // else the comments
    const char* Field;
    std::string Old;
    const std::string* New;
};

std::vector<TReplaceChange> ReplaceChanges(const TSearchCriteria& c,
                                           const std::vector<TSearchRow>& rows) {
    std::vector<TReplaceChange> out;
    for (const auto& row : rows) {
        TLibFolderItem* e = row.Entry;
        if (c.ReplaceCategory && e->Category.view() != c.ReplaceCategoryText)
            out.push_back({e, true, "category", e->Category.str(), &c.ReplaceCategoryText});
        if (c.ReplaceComments && e->Comments.view() != c.ReplaceCommentsText)
            out.push_back({e, false, "comments", e->Comments.str(), &c.ReplaceCommentsText});
    }
    return out;
}

void PrintChanges(const std::vector<TReplaceChange>& changes, TSearchOutput& out) {
    for (const auto& ch : changes) {
        if (!out.Take()) continue;
        const std::string path = clipath::WrittenEntryPath(ch.Entry);
        if (out.Json) {
            TJson j;
            PutPath(j, "path", clipath::DisplayText(GetEntryCatalogPath(ch.Entry)), path);
            j.update(TJson{{"field", ch.Field},
                           {"old", clipath::DisplayText(ch.Old)},
                           {"new", clipath::DisplayText(*ch.New)}});
            out.Text += JsonLineText(j);
        } else {
            out.Text += path + '\t' + ch.Field + '\t' + CliField(ch.Old) + '\t' + CliField(*ch.New);
        }
        out.Text += out.End;
    }
}

// Whether the found entries get the new values: --yes, or a "y" on a terminal.
// Without a terminal and without --yes the command was refused before it ran.
bool ConfirmReplace(size_t entries, bool yes) {
    if (yes) return true;
    TCliQuestions questions(TAnswer::No);
    std::string text = "Replace in " + std::to_string(entries) + " found " +
                       (entries == 1 ? "entry" : "entries") + " and save the catalog?";
    return questions.Ask("", text, TButtons::YesNo) == TAnswer::Yes;
}

// The settings a result's cells are written with.
TCellFormat CellFormatOf(ISettingsStore& settings) {
    TCellFormat f;
    f.SizeUnit = static_cast<int>(settings.ReadInt("Defaults", "Sizes", 0));
    f.NewLine = settings.ReadString("Defaults", "New Line", ";");
    f.KBText = GetMessageText("infoStrKB");
    f.MBText = GetMessageText("infoStrMB");
    return f;
}

// The unsigned number of --limit.
size_t LimitOf(const std::string& text) {
    try {
        size_t used = 0;
        long long v = std::stoll(text, &used);
        if (used == text.size() && v >= 1) return static_cast<size_t>(v);
    } catch (const std::exception&) {
    }
    throw EUsageError("--limit needs a number of 1 or more");
}

// --regex or --glob; a pattern that does not compile is a usage error.
void TakeNamePattern(TCliContext& ctx, TSearchCriteria& c) {
    std::string regex, glob;
    const bool hasRegex = ctx.TakeOption("--regex", regex);
    const bool hasGlob = ctx.TakeOption("--glob", glob);
    if (hasRegex && hasGlob) throw EUsageError("--regex and --glob do not go together");
    if (!hasRegex && !hasGlob) return;
    c.NamePatternKind = hasRegex ? TNamePattern::TKind::Regex : TNamePattern::TKind::Glob;
    c.NamePattern = clipath::ArgText(hasRegex ? regex : glob);
}

void CheckRegex(const TSearchCriteria& c) {
    try {
        TNamePattern(c.NamePatternKind, c.NamePattern, c.MatchCase);
    } catch (const std::invalid_argument& e) {
        throw EUsageError(std::string("--regex: ") + e.what());
    }
}

} // namespace

int CmdSearch(TCliContext& ctx) {
    TSearchCriteria c;
    std::string value;
    if (ctx.TakeOption("--load", value)) LoadSearch(value, c);
    // The six texts that --anywhere stands in for.
    std::vector<std::string> texts;
    for (auto [option, field] : {std::pair{"--name", &c.Name},
                                 {"--volume", &c.Volume},
                                 {"--category", &c.Category},
                                 {"--comments", &c.Comments},
                                 {"--type", &c.Type},
                                 {"--location", &c.Location}})
        if (ctx.TakeOption(option, *field)) {
            *field = clipath::ArgText(*field);
            texts.push_back(option);
        }
    TakeNamePattern(ctx, c);
    if (ctx.TakeOption("--date", value)) {
        c.Date1Use = true;
        c.Date1 = ParseDay("--date", value);
        c.Date2Use = false;
    }
    if (ctx.TakeOption("--until", value)) {
        if (!c.Date1Use) throw EUsageError("--until needs --date");
        c.Date2Use = true;
        c.Date2 = ParseDay("--until", value);
    }
    TakeSize(ctx, c);
    if (ctx.TakeOption("--unit", value)) c.SizeUnit = SizeUnitOf(value);
    if (ctx.TakeOption("--anywhere", c.Anywhere)) {
        c.Anywhere = clipath::ArgText(c.Anywhere);
        c.Mode = TSearchMode::Anywhere;
    }
    if (ctx.TakeFlag("--collections")) c.Mode = TSearchMode::Collections;
    bool collectionTexts = false;
    for (auto [option, field] :
         {std::pair{"--caption", &c.ColCaption}, {"--url", &c.ColURL}, {"--memo", &c.ColComments}})
        if (ctx.TakeOption(option, *field)) {
            *field = clipath::ArgText(*field);
            collectionTexts = true;
        }
    ctx.TakeSwitch("--match-case", c.MatchCase);
    ctx.TakeSwitch("--folders-only", c.FoldersOnly);
    TakeDuplicateMode(ctx, c);
    ctx.TakeSwitch("--duplicates", c.Duplicates);
    TakeTagRanges(ctx, c);
    c.ReplaceCategory = ctx.TakeOption("--replace-category", c.ReplaceCategoryText);
    c.ReplaceComments = ctx.TakeOption("--replace-comments", c.ReplaceCommentsText);
    c.ReplaceCategoryText = clipath::ArgText(c.ReplaceCategoryText);
    c.ReplaceCommentsText = clipath::ArgText(c.ReplaceCommentsText);
    std::vector<std::string> in = ctx.TakeOptionAll("--in");
    std::string savePath, sortText;
    bool save = ctx.TakeOption("--save", savePath);
    bool sort = ctx.TakeOption("--sort", sortText);
    TSearchOutput out;
    out.Json = ctx.TakeFlag("--json");
    if (ctx.TakeFlag("--null")) out.End = '\0';
    out.CountOnly = ctx.TakeFlag("--count");
    if (ctx.TakeOption("--limit", value)) out.Limit = LimitOf(value);
    ctx.TakeSwitch("--summary", out.Summary);
    bool dryRun = ctx.TakeFlag("--dry-run");
    bool yes = ctx.TakeFlag("--yes");
    ctx.TakeLockWait();
    auto args = ctx.Positionals(1, SIZE_MAX);
    if (c.NamePatternKind == TNamePattern::TKind::Regex) CheckRegex(c);
    if (save && c.NamePatternKind != TNamePattern::TKind::None)
        throw EUsageError("a saved search keeps no --regex or --glob");

    // A criterion the search would pass over is refused, never ignored.
    if (!texts.empty() && c.Mode == TSearchMode::Anywhere)
        throw EUsageError(texts[0] +
                          " does not go with --anywhere (or a loaded search with an Anywhere "
                          "text), which looks for its text in the name, volume, category, "
                          "comments, type and location instead");
    if (!texts.empty() && c.Mode == TSearchMode::Collections)
        throw EUsageError(texts[0] + " does not go with --collections, which searches by "
                                     "--caption, --url and --memo");
    if (collectionTexts && c.Mode != TSearchMode::Collections)
        throw EUsageError("--caption, --url and --memo go with --collections");
    const bool replacing = c.ReplaceCategory || c.ReplaceComments;
    if (dryRun && !replacing)
        throw EUsageError("--dry-run goes with --replace-category or --replace-comments");
    // A script must say so: nothing is replaced behind the back of a pipe.
    if (replacing && !dryRun && !yes && !TCliQuestions::Interactive())
        throw EUsageError("replacing without a terminal to ask needs --yes (or --dry-run)");

    int sortColumn = -1;
    bool descending = false;
    if (sort) {
        auto colon = sortText.rfind(':');
        if (colon != std::string::npos) {
            std::string dir = sortText.substr(colon + 1);
            if (!SameText(dir, "desc") && !SameText(dir, "asc"))
                throw EUsageError("--sort takes COLUMN, COLUMN:asc or COLUMN:desc");
            descending = SameText(dir, "desc");
            sortText.resize(colon);
        }
        sortColumn = ColumnOf(sortText);
    }
    if (args.size() > 1) {
        // What takes the entries or the order of one catalog.
        for (auto [given, option] : {std::pair{!in.empty(), "--in"},
                                     {replacing, "--replace-category and --replace-comments"},
                                     {sort, "--sort"},
                                     {c.Duplicates, "--duplicates"}})
            if (given)
                throw EUsageError(std::string(option) +
                                  " goes with one catalog; several were given");
    }
    if (save) {
        // The loaded search may be saved again over its own file; the catalogs may not.
        for (const std::string& catalog : args)
            RefuseOutputOverInput(savePath, {catalog});
        SaveSearch(savePath, c);
    }

    const TCellFormat format = CellFormatOf(ctx.Settings());
    out.Catalog = args[0];
    if (args.size() > 1) return SearchCatalogs(args, c, format, out);
    // Most searches need no catalog tree: the file is read record by record
    // and the rows are printed once the whole file proved sound.
    if (in.empty() && !replacing && CanStreamSearch(c)) {
        TSearchStats stats;
        if (StreamSearchInto(out, stats, args[0], c, format, sortColumn, descending))
            return out.Finish(StatsText(stats, format));
    }

    TLibObj& lib = CatalogKeptToExit();
    if (replacing && !dryRun) ctx.LockCatalogForWriting(args[0]);
    LoadCatalogForCli(lib, args[0]);
    std::vector<TTreeNode*> selected;
    for (const auto& path : in) {
        selected.push_back(clipath::FindFolder(lib, path));
    }

    TCliProgress progress;
    progress.Quiet = true;
    TSearchEngine engine(lib, progress);
    engine.Format = format;
    TSearchResults results(lib);

    // The search itself replaces nothing: the rows are asked about first.
    TSearchCriteria find = c;
    find.ReplaceCategory = find.ReplaceComments = false;
    std::string failure;
    try {
        engine.Run(find, results, in.empty() ? nullptr : &selected);
    } catch (const EMessageError& e) {
        if (e.Key != "infoCancel") throw;
        failure = GetMessageText(e.Key, e.Arg); // the rows so far are still printed
    }
    if (replacing && failure.empty()) {
        std::vector<TReplaceChange> changes = ReplaceChanges(c, results.Rows);
        if (dryRun) {
            PrintChanges(changes, out);
            const int rc = out.Finish("Changes: " + std::to_string(changes.size()) + "\tResults: " +
                                      std::to_string(results.Rows.size()) + "\tnothing saved\n");
            return results.Rows.empty() ? 1 : rc;
        }
        if (!changes.empty()) {
            std::set<const TLibFolderItem*> entries;
            for (const auto& ch : changes)
                entries.insert(ch.Entry);
            if (ConfirmReplace(entries.size(), yes)) {
                for (const auto& ch : changes)
                    (ch.Category ? ch.Entry->Category : ch.Entry->Comments) = *ch.New;
                lib.Modified = true;
            } else {
                std::cerr << "tamblix-cli: nothing replaced, the catalog is unchanged\n";
            }
        }
    }
    if (sortColumn >= 0) {
        TSortState state;
        SortRows(results.Visible(), sortColumn, state);
        if (descending) SortRows(results.Visible(), sortColumn, state);
    }
    PrintFound(out, results, c, engine.Format);
    const int rc = out.Finish(StatusText(results, engine.Format));
    if (!failure.empty()) throw EMessageError("infoCancel");
    if (lib.Modified) {
        TCliProgress quiet;
        quiet.Quiet = true;
        SaveToFile(lib, args[0], quiet);
    }
    return rc;
}

std::vector<std::string> SortColumnNames() {
    return {std::begin(kSearchColumnKeys), std::end(kSearchColumnKeys)};
}

const TCommandDef& SearchCommand() {
    static const TCommandDef def{
        "search",
        "search one catalog or several",
        "Prints one tab-separated row per result (name, type, volume, path, size, date, "
        "category, comments, duplicates, full name, location) on stdout, then a line of counts "
        "on stderr. Names and "
        "paths are written as catalog paths are (see 'Catalog paths' in 'tamblix-cli --help'): "
        "a Full name pastes into ls or edit as it is. The other texts are escaped as every "
        "command escapes them: \\\\, \\t, \\n, \\xNN; sizes are bytes in plain digits.\n\nText "
        "criteria match anywhere in the text, ignoring case (ASCII letters only); --category "
        "matches the whole text. Given criteria must all match. --anywhere takes the place of "
        "the six texts (--name, --volume, --category, --comments, --type, --location), which do "
        "not go with it; the date, size, --regex, --glob, --folders-only, --duration and --taken "
        "combine with it. --collections searches the collections by --caption, --url and "
        "--memo.\n\nSeveral catalogs are searched one after the other, in the order given, "
        "and each row ends in one more column: its catalog, as given. A catalog that cannot be "
        "read (missing, damaged, of an unknown kind) is named on stderr and its rows are left "
        "out; the others are still searched and printed, and the exit status is 1. The counts "
        "line adds up all the catalogs; --limit counts the rows of all of them. --in, --sort, "
        "--duplicates and --replace-* take one catalog.\n\nExit status: 0 when something "
        "matched and every catalog was read, 1 when nothing did (as grep's) or on an error, 2 "
        "for wrong usage.\n\nReplacing "
        "asks on a terminal before it saves; without a terminal "
        "it needs --yes, so that a script never saves by accident.",
        {{"CATALOG", "a catalog file (.txc); several are searched in turn", false, true}},
        {{"--name", TOptionKind::Value, "T", "the entry's name contains T", ""},
         {"--regex", TOptionKind::Value, "RE",
          "the name matches the POSIX extended regular expression RE anywhere, as with grep -E; "
          "case as for the other texts",
          ""},
         {"--glob", TOptionKind::Value, "PATTERN",
          "the whole name matches the wildcard PATTERN (*, ?, [...]); case as for the other "
          "texts",
          ""},
         {"--volume", TOptionKind::Value, "T", "the volume's name contains T", ""},
         {"--category", TOptionKind::Value, "T", "the category is T (the whole text)", ""},
         {"--comments", TOptionKind::Value, "T", "the comments contain T", ""},
         {"--type", TOptionKind::Value, "T", "the type contains T", ""},
         {"--location", TOptionKind::Value, "T", "the volume's location contains T", ""},
         {"--date", TOptionKind::Value, "YYYY-MM-DD", "entries of that day", ""},
         {"--until", TOptionKind::Value, "YYYY-MM-DD", "with --date: entries of the days between",
          ""},
         {"--size", TOptionKind::Value, "S N", "size compared with N; S is =, > or <", ""},
         {"--unit", TOptionKind::Value, "U", "the unit of --size: bytes, KB or MB", "bytes"},
         {"--anywhere", TOptionKind::Value, "T", "T in any of the six texts", ""},
         {"--duration", TOptionKind::Value, "MIN..MAX",
          "tag DurationSec in seconds (MIN.. or ..MAX: open end)", ""},
         {"--taken", TOptionKind::Value, "FROM..TO",
          "tag DateTaken by day, YYYY-MM-DD (either end open)", ""},
         {"--collections", TOptionKind::Flag, "", "search the collections instead", ""},
         {"--caption", TOptionKind::Value, "T", "with --collections: the caption contains T", ""},
         {"--url", TOptionKind::Value, "T", "with --collections: the URL contains T", ""},
         {"--memo", TOptionKind::Value, "T", "with --collections: the memo contains T", ""},
         {"--load", TOptionKind::Value, "FILE.TXS",
          "start from a saved search (with an Anywhere text: Anywhere mode)", ""},
         {"--in", TOptionKind::Repeated, "PATH", "only the entries of this folder",
          "the whole catalog"},
         {"--match-case", TOptionKind::Switch, "", "texts match with their case", ""},
         {"--folders-only", TOptionKind::Switch, "", "folders only", ""},
         {"--duplicates", TOptionKind::Switch, "",
          "list the duplicates; '--duplicates content': same size and checksum (scanned with "
          "the Checksum handler on), by group, most space wasted first, each row ending in "
          "its group number and 'link' for a hard link to a file listed before it; files "
          "without a checksum and empty files counted apart; '--duplicates names': same name",
          "off; names when on"},
         {"--replace-category", TOptionKind::Value, "T",
          "overwrite the found entries' category and save the catalog (asks on a terminal)", ""},
         {"--replace-comments", TOptionKind::Value, "T",
          "overwrite the found entries' comments and save the catalog (asks on a terminal)", ""},
         {"--dry-run", TOptionKind::Flag, "",
          "with --replace-*: print each value that would change (path, field, old, new) and "
          "save nothing",
          ""},
         {"--yes", TOptionKind::Flag, "",
          "with --replace-*: replace without asking; needed when no terminal can be asked", ""},
         {"--json", TOptionKind::Flag, "",
          "JSON Lines instead: one object per row with the columns by name, \"bytes\", "
          "\"entry\" and \"catalog\" (the catalog file as given); no counts line",
          ""},
         {"--null", TOptionKind::Flag, "",
          "end each row with a NUL byte instead of a newline, for xargs -0 (also -0)", ""},
         {"--count", TOptionKind::Flag, "", "print only the number of results", ""},
         {"--limit", TOptionKind::Value, "N", "print at most N results", "all"},
         {"--summary", TOptionKind::Switch, "", "the line of counts on stderr", "on"},
         {"--sort", TOptionKind::Value, "COLUMN[:desc]",
          "sort by name, type, volume, path, size, date, category, comments, duplicates, "
          "fullname or location",
          "catalog order"},
         {"--save", TOptionKind::Value, "FILE.TXS", "save the criteria as a saved search", ""},
         kWaitOption},
        {"search music.txc --name beatles --size '>' 5000000 --sort size:desc",
         "search music.txc --regex '^(cd|disc) ?[0-9]+' --count",
         "search music.txc --glob '*.flac' --limit 10 --no-summary",
         "search music.txc --anywhere live --in 'CD1\\music'",
         "search music.txc --type mp3 --replace-category Music --dry-run",
         "search music.txc photos.txc old/*.txc --name holiday --json"},
        CmdSearch};
    return def;
}
