#include "cli/command_table.h"

#include "cli/cli_path.h"

#include <algorithm>

namespace {

constexpr size_t kHelpColumn = 28;
constexpr size_t kWidth = 79;

// Appends `text` filled into lines of at most kWidth, each starting at column
// `indent`; the first line continues whatever `out` already holds.
void AppendFilled(std::string& out, std::string_view text, size_t indent) {
    size_t column = out.size() - std::min(out.size(), out.rfind('\n') + 1);
    size_t i = 0;
    bool first = true;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        size_t j = text.find(' ', i);
        if (j == std::string_view::npos) j = text.size();
        if (j == i) break;
        std::string_view word = text.substr(i, j - i);
        if (!first && column + 1 + word.size() > kWidth) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
        } else if (!first) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
        i = j;
    }
}

// Paragraphs separated by blank lines, each filled from column 0 (or 2).
void AppendParagraphs(std::string& out, std::string_view text, size_t indent) {
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find("\n\n", i);
        if (j == std::string_view::npos) j = text.size();
        std::string para(text.substr(i, j - i));
        std::replace(para.begin(), para.end(), '\n', ' ');
        out.append(indent, ' ');
        AppendFilled(out, para, indent);
        out += "\n";
        if (j < text.size()) out += "\n";
        i = j + 2;
    }
}

std::string OptionLabel(const TOptionDef& o) {
    std::string s = o.Name;
    if (o.Kind == TOptionKind::Switch) s += std::string(", --no-") + (o.Name + 2);
    if (*o.ValueName) s += std::string(" ") + o.ValueName;
    return s;
}

void AppendOption(std::string& out, const TOptionDef& o) {
    std::string label = "  " + OptionLabel(o);
    out += label;
    if (label.size() + 2 > kHelpColumn) {
        out += '\n';
        out.append(kHelpColumn, ' ');
    } else {
        out.append(kHelpColumn - label.size(), ' ');
    }
    std::string text = o.Help;
    if (o.Kind == TOptionKind::Repeated) text += "; may be repeated";
    if (*o.Default)
        text += std::string(" (default: ") + o.Default + ")";
    else if (o.Kind == TOptionKind::Switch)
        text += " (default: off)";
    AppendFilled(out, text, kHelpColumn);
    out += '\n';
}

} // namespace

std::string SummarySentence(const TCommandDef& c) {
    std::string s = c.Summary;
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s + ".";
}

const TOptionDef* TCommandDef::FindOption(std::string_view name) const {
    for (const auto& o : Options)
        if (name == o.Name) return &o;
    return nullptr;
}

std::string TCommandDef::Synopsis() const {
    std::string s = Name;
    for (const auto& a : Arguments) {
        std::string word = a.Name;
        if (a.Repeated) word += "...";
        s += ' ';
        s += a.Optional ? "[" + word + "]" : word;
    }
    if (!Options.empty()) s += " [options]";
    return s;
}

std::vector<std::string> TCommandDef::Spellings() const {
    std::vector<std::string> out;
    for (const auto& o : Options) {
        out.push_back(o.Name);
        if (o.Kind == TOptionKind::Switch) out.push_back(std::string("--no-") + (o.Name + 2));
    }
    for (const auto& o : GlobalOptions())
        out.push_back(o.Name);
    return out;
}

const std::vector<const TCommandDef*>& AllCommands() {
    static const std::vector<const TCommandDef*> all = {
        &NewCommand(),    &InfoCommand(),        &TreeCommand(),     &LsCommand(),
        &ScanCommand(),   &UpdateCommand(),      &HandlersCommand(), &TagsCommand(),
        &SearchCommand(), &ExportCommand(),      &ImportCommand(),   &ImportCatalogCommand(),
        &EditCommand(),   &CollectionsCommand(), &WatchCommand(),    &ThumbnailCommand(),
    };
    return all;
}

const TCommandDef* FindCommand(std::string_view name) {
    for (const TCommandDef* c : AllCommands())
        if (name == c->Name) return c;
    return nullptr;
}

const std::vector<TOptionDef>& GlobalOptions() {
    static const std::vector<TOptionDef> options = {
        {"--settings", TOptionKind::Value, "FILE",
         "settings file to use (also the environment variable TAMBLIX_SETTINGS)",
         "the user's settings"},
        {"--help", TOptionKind::Flag, "", "print the help and exit (also -h)", ""},
    };
    return options;
}

const char* const kOptionRules =
    "Options and arguments may come in any order. A value option takes its value as the next "
    "word or after \"=\" (--name=T, --size='>5'); one that the help does not mark \"may be "
    "repeated\" is given once. \"--\" ends the options: a word after it is an argument even "
    "when it starts with \"-\". --help and --version work after any command.";

const char* const kExitCodes =
    "0 success, 1 error, 2 wrong usage, 3 scan or update saved but some folders or files could "
    "not be read (counted as Errors in the summary). search exits 1 when nothing matched, as "
    "grep does.";

std::string ProgramHelp() {
    std::string out = "Usage: tamblix-cli [--settings FILE] COMMAND [ARGS...]\n\n";
    AppendParagraphs(out,
                     "Catalog work from the command line: scan discs and folders into a catalog "
                     "file, then list, search, export and import.",
                     0);
    out += "\nCommands:\n";
    for (const TCommandDef* c : AllCommands()) {
        std::string label = std::string("  ") + c->Name;
        out += label;
        out.append(label.size() < 18 ? 18 - label.size() : 1, ' ');
        AppendFilled(out, c->Summary, 18);
        out += '\n';
    }
    out += "\nOptions:\n";
    for (const auto& o : GlobalOptions())
        AppendOption(out, o);
    AppendOption(out, {"--version", TOptionKind::Flag, "", "print the version and exit", ""});
    out += '\n';
    AppendParagraphs(out, std::string("Catalog paths: ") + clipath::kHelpText, 0);
    out += '\n';
    AppendParagraphs(out,
                     std::string("'tamblix-cli help COMMAND' or 'tamblix-cli COMMAND --help' "
                                 "shows a command's options and an example.\n\n") +
                         kOptionRules + "\n\nExit codes: " + kExitCodes,
                     0);
    return out;
}

std::string CommandHelp(const TCommandDef& c) {
    std::string out = "Usage: tamblix-cli " + c.Synopsis() + "\n\n";
    AppendParagraphs(out, SummarySentence(c), 0);
    if (*c.Description) {
        out += '\n';
        AppendParagraphs(out, c.Description, 0);
    }
    if (!c.Arguments.empty()) {
        out += "\nArguments:\n";
        for (const auto& a : c.Arguments)
            AppendOption(out, {a.Name, TOptionKind::Value, "", a.Help, ""});
    }
    if (!c.Options.empty()) {
        out += "\nOptions:\n";
        for (const auto& o : c.Options)
            AppendOption(out, o);
    }
    out += "\nCommon options:\n";
    for (const auto& o : GlobalOptions())
        AppendOption(out, o);
    if (!c.Examples.empty()) {
        out += c.Examples.size() == 1 ? "\nExample:\n" : "\nExamples:\n";
        for (const char* e : c.Examples)
            out += std::string("  tamblix-cli ") + e + "\n";
    }
    return out;
}

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
    // A command line word can be long; only its start matters for a typing mistake.
    word = word.substr(0, 64);
    std::string best;
    size_t bestDistance = SIZE_MAX;
    // Edit distance where swapping two neighbours counts as one edit ("--levle").
    std::vector<size_t> before, row, next;
    for (const std::string& c : candidates) {
        before.assign(c.size() + 1, 0);
        row.resize(c.size() + 1);
        next.resize(c.size() + 1);
        for (size_t j = 0; j <= c.size(); ++j)
            row[j] = j;
        for (size_t i = 1; i <= word.size(); ++i) {
            next[0] = i;
            for (size_t j = 1; j <= c.size(); ++j) {
                next[j] = std::min(
                    {row[j] + 1, next[j - 1] + 1, row[j - 1] + (word[i - 1] == c[j - 1] ? 0 : 1)});
                if (i > 1 && j > 1 && word[i - 1] == c[j - 2] && word[i - 2] == c[j - 1])
                    next[j] = std::min(next[j], before[j - 2] + 1);
            }
            before.swap(row);
            row.swap(next);
        }
        if (row[c.size()] < bestDistance) {
            bestDistance = row[c.size()];
            best = c;
        }
    }
    // One edit in three letters of the name after its dashes, at least one.
    size_t letters = std::max(word.size(), best.size());
    letters -= std::min<size_t>(letters, 2);
    return bestDistance <= std::max<size_t>(1, letters / 3) ? best : std::string();
}
