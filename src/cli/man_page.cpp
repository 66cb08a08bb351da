#include "cli/man_page.h"

#include "cli/cli_path.h"
#include "cli/command_table.h"

namespace {

// Roff's paragraphs: one input line each, so that a line never starts with a
// control character from the text itself.
void AppendText(std::string& out, std::string_view text) {
    size_t i = 0;
    bool first = true;
    while (i < text.size()) {
        size_t j = text.find("\n\n", i);
        if (j == std::string_view::npos) j = text.size();
        std::string para(text.substr(i, j - i));
        for (char& ch : para)
            if (ch == '\n') ch = ' ';
        if (!first) out += ".PP\n";
        out += RoffText(para) + "\n";
        first = false;
        i = j + 2;
    }
}

// "--folders, --no-folders" in bold, each name on its own.
std::string OptionTag(const TManOption& o) {
    std::string s;
    size_t i = 0;
    while (i <= o.Names.size()) {
        size_t j = o.Names.find(", ", i);
        if (j == std::string::npos) j = o.Names.size();
        if (!s.empty()) s += ", ";
        s += "\\fB" + RoffText(o.Names.substr(i, j - i)) + "\\fR";
        i = j + 2;
    }
    if (!o.Value.empty()) s += " \\fI" + RoffText(o.Value) + "\\fR";
    return s;
}

void AppendSection(std::string& out, const TManSection& s, const char* macro) {
    out += std::string(macro) + " \"" + RoffText(s.Title) + "\"\n";
    if (!s.Text.empty()) AppendText(out, s.Text);
    for (const auto& o : s.Options)
        out += ".TP\n" + OptionTag(o) + "\n" + RoffText(o.Help) + "\n";
    if (!s.Examples.empty()) {
        out += ".PP\n" + std::string(s.Examples.size() == 1 ? "Example:" : "Examples:") +
               "\n.RS\n.nf\n";
        for (const auto& e : s.Examples)
            out += RoffText(e) + "\n";
        out += ".fi\n.RE\n";
    }
    for (const auto& sub : s.Subsections)
        AppendSection(out, sub, ".SS");
}

TManOption FromTable(const TOptionDef& o) {
    TManOption m{o.Name, o.ValueName, o.Help};
    if (o.Kind == TOptionKind::Switch) m.Names += std::string(", --no-") + (o.Name + 2);
    if (o.Kind == TOptionKind::Repeated) m.Help += "; may be repeated";
    if (*o.Default)
        m.Help += std::string(" (default: ") + o.Default + ")";
    else if (o.Kind == TOptionKind::Switch)
        m.Help += " (default: off)";
    return m;
}

} // namespace

std::string RoffText(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\')
            out += "\\e";
        else if (ch == '-')
            out += "\\-";
        else
            out += ch;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string RenderManPage(const TManPage& page) {
    std::string upper;
    for (char ch : page.Name)
        upper += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
    std::string out = ".TH " + RoffText(upper) + " 1 \"\" \"" +
                      RoffText("tamblix " + page.Version) + "\" \"User Commands\"\n";
    out += ".nh\n"; // option names and variables must not be hyphenated
    out += ".SH NAME\n" + RoffText(page.Name) + " \\- " + RoffText(page.Summary) + "\n";
    out += ".SH SYNOPSIS\n.B " + RoffText(page.Name) + "\n" + RoffText(page.Synopsis) + "\n";
    for (const auto& s : page.Sections)
        AppendSection(out, s, ".SH");
    return out;
}

TManSection FilesSection() {
    TManSection files{"FILES", "", {}, {}, {}};
    files.Options = {
        {"$XDG_CONFIG_HOME/Tamblix/Tamblix.ini", "",
         "the settings of tamblix and tamblix-cli (~/.config/Tamblix/Tamblix.ini when "
         "XDG_CONFIG_HOME is not set), unless --settings or TAMBLIX_SETTINGS names another "
         "file"},
        {"CATALOG.txc", "",
         "a catalog. A program that writes it holds an advisory lock (flock(2)) on the catalog "
         "file itself: tamblix-cli from loading it to saving it, tamblix while it saves. "
         "tamblix-cli waits up to --wait SECONDS for another writer's lock, then refuses. A "
         "program that only reads a catalog takes no lock."}};
    return files;
}

TManPage CliManPage() {
    TManPage page;
    page.Name = "tamblix-cli";
    page.Summary = "catalog discs and folders from the command line";
    page.Synopsis = "[--settings FILE] COMMAND [ARGUMENTS] [OPTIONS]";
    page.Version = TAMBLIX_VERSION;
    TManSection description{"DESCRIPTION",
                            "tamblix-cli does the catalog work of tamblix(1) for scripts: it "
                            "scans discs and folders into a catalog file (.txc), lists, "
                            "searches, exports and imports. Names and catalog paths are written "
                            "as CATALOG PATHS says; the other text columns escape backslashes, "
                            "tabs, line ends and other control bytes (\\\\, \\t, \\n, \\xNN), so "
                            "that every row stays one line.\n\n"
                            "'tamblix-cli help COMMAND' prints a command's options, as below.",
                            {},
                            {},
                            {}};
    TManSection common{"COMMON OPTIONS",
                       std::string("Given before or after the command. ") + kOptionRules,
                       {},
                       {},
                       {}};
    for (const auto& o : GlobalOptions())
        common.Options.push_back(FromTable(o));
    common.Options.push_back({"--version", "", "print the version and exit"});
    TManSection paths{"CATALOG PATHS", clipath::kHelpText, {}, {}, {}};
    TManSection commands{"COMMANDS", "", {}, {}, {}};
    for (const TCommandDef* c : AllCommands()) {
        TManSection sub{c->Synopsis(), SummarySentence(*c), {}, {}, {}};
        if (*c->Description) sub.Text += std::string("\n\n") + c->Description;
        for (const auto& a : c->Arguments)
            sub.Options.push_back({a.Name, "", a.Help});
        for (const auto& o : c->Options)
            sub.Options.push_back(FromTable(o));
        for (const char* e : c->Examples)
            sub.Examples.push_back(std::string("tamblix-cli ") + e);
        commands.Subsections.push_back(std::move(sub));
    }
    TManSection exit{"EXIT STATUS",
                     std::string(kExitCodes) +
                         " An error's message on standard error begins with \"tamblix-cli: \".",
                     {},
                     {},
                     {}};
    TManSection environment{"ENVIRONMENT",
                            "TAMBLIX_SETTINGS names the settings file when --settings does not.",
                            {},
                            {},
                            {}};
    TManSection seeAlso{"SEE ALSO", "tamblix(1)", {}, {}, {}};
    page.Sections = {description, common,      paths,          commands,
                     exit,        environment, FilesSection(), seeAlso};
    return page;
}
