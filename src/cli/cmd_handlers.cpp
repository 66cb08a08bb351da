#include "cli/cli_context.h"
#include "files/file_utils.h"
#include "handlers/handlers.h"
#include "settings/global_data.h"
#include "text/message_error.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace {

// One change of an extension list: which option, the handler's title, its value.
struct TExtensionChange {
    std::string Option;
    std::string Title;
    std::string Text;
};

const char* const kExtensionOptions[] = {"--set-extensions", "--add-extension",
                                         "--remove-extension"};

// "--set-extensions TITLE VALUE" and the others ("--add-extension=TITLE
// VALUE" too), as often as given, in the order given.
std::vector<TExtensionChange> TakeExtensionChanges(TCliContext& ctx) {
    for (const char* name : kExtensionOptions)
        ctx.CheckDeclared(name, true);
    ctx.SplitOperands();
    std::vector<TExtensionChange> out;
    auto& a = ctx.Args;
    for (size_t i = 0; i < a.size();) {
        const char* option = nullptr;
        bool joined = false;
        for (const char* name : kExtensionOptions) {
            const std::string n = name;
            if (a[i] == n || a[i].rfind(n + "=", 0) == 0) {
                option = name;
                joined = a[i] != n;
            }
        }
        if (!option) {
            ++i;
            continue;
        }
        const size_t words = joined ? 2 : 3;
        if (i + words > a.size())
            throw EUsageError(std::string(option) + " needs a handler title and a value");
        TExtensionChange c{option, joined ? a[i].substr(std::strlen(option) + 1) : a[i + 1],
                           a[i + words - 1]};
        out.push_back(std::move(c));
        a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i + words));
    }
    return out;
}

THandlerPtr Known(const THandlerList& table, const std::string& title) {
    THandlerPtr h = table.Find(title);
    if (!h) throw std::runtime_error("unknown handler: " + title);
    return h;
}

// Extension lists change under the extension editor's rules, one option after
// the other, so that an extension can move from one handler to another; a
// refused one throws before anything is written.
bool ChangeExtensions(THandlerList& table, const std::vector<TExtensionChange>& changes) {
    bool changed = false;
    auto apply = [&](const THandlerPtr& h, const std::vector<std::string>& texts) {
        std::vector<std::string> list = table.CheckExtensions(texts, *h);
        if (list != h->Extensions.Lines()) changed = true;
        table.SetExtensions(h, list);
    };
    for (const auto& [option, title, text] : changes) {
        THandlerPtr h = Known(table, title);
        std::vector<std::string> texts;
        if (option == "--set-extensions") {
            for (size_t at = 0; at <= text.size();) {
                size_t end = std::min(text.find(';', at), text.size());
                if (end > at) texts.push_back(text.substr(at, end - at));
                at = end + 1;
            }
        } else if (option == "--add-extension") {
            texts = h->Extensions.Lines();
            texts.push_back(text);
        } else {
            texts = h->Extensions.Lines();
            const std::string ext = NormalizeExtension(text);
            auto it = std::find(texts.begin(), texts.end(), ext);
            if (it == texts.end())
                throw std::runtime_error(title + " has no extension " + (ext.empty() ? text : ext));
            texts.erase(it);
        }
        apply(h, texts);
    }
    return changed;
}

} // namespace

// handlers [--enable TITLE]... [--disable TITLE]... [--defaults]
//          [--set-extensions TITLE '.A;.B'] [--add-extension TITLE .A]
//          [--remove-extension TITLE .A]
// Prints the file-type handler table, after changing it when asked.
int CmdHandlers(TCliContext& ctx) {
    std::vector<std::string> enable = ctx.TakeOptionAll("--enable");
    std::vector<std::string> disable = ctx.TakeOptionAll("--disable");
    bool defaults = ctx.TakeFlag("--defaults");
    std::vector<TExtensionChange> changes = TakeExtensionChanges(ctx);
    ctx.Positionals(0, 0);

    ISettingsStore& store = ctx.Settings();
    THandlerList table;
    bool changed = false;
    // Nothing is written before the titles are checked: a wrong one changes nothing.
    if (defaults) {
        table.SetDefaults();
        changed = true;
    } else {
        try {
            table.LoadFromSettings(store);
        } catch (const EMessageError& e) {
            // As at program start: a damaged stored table gives way to the defaults.
            std::cerr << "tamblix-cli: the stored handler table is damaged (" << e.what()
                      << "); using the defaults\n";
            table.SetDefaults();
            changed = true;
        }
    }

    changed |= ChangeExtensions(table, changes);

    for (const auto* titles : {&enable, &disable})
        for (const auto& t : *titles)
            if (!table.Find(t)) throw std::runtime_error("unknown handler: " + t);
    for (const auto& t : enable) {
        THandlerPtr h = table.Find(t);
        if (!h->Active) changed = true;
        table.Check(h, true);
    }
    for (const auto& t : disable) {
        THandlerPtr h = table.Find(t);
        if (h->Active) changed = true;
        table.Check(h, false);
    }
    if (changed) {
        // Marked as the desktop program marks it, so that its next start keeps the table.
        PrepareSettingsVersion(store);
        table.SaveToSettings(store);
    }

    for (const auto& h : table.Items())
        std::cout << h->Title << '\t' << (h->Active ? "yes" : "no") << '\t' << h->Description
                  << '\t' << h->ExtensionsText(";") << '\n';
    return 0;
}

const TCommandDef& HandlersCommand() {
    static const TCommandDef def{
        "handlers",
        "print or change the file-type handlers",
        "Prints the file-type handler table, one tab-separated line per handler: title, "
        "active (yes or no), description and extensions. Changes are checked before anything "
        "is written: an unknown title changes nothing.\n\nExtensions are taken as the "
        "extension editor takes them (mp3 and .Mp3 give .MP3), one option after the other in the "
        "order given, so that an extension can move from one handler to another. An extension "
        "belongs to one "
        "handler: one that another handler claims is refused, and so are \".\" alone, texts "
        "with blanks or \";\", and a list that would leave a handler without extensions.",
        {},
        {{"--enable", TOptionKind::Repeated, "TITLE", "switch a handler on", ""},
         {"--disable", TOptionKind::Repeated, "TITLE", "switch a handler off", ""},
         {"--defaults", TOptionKind::Flag, "", "go back to the shipped table", ""},
         {"--set-extensions", TOptionKind::Repeated, "TITLE EXTS",
          "give a handler these extensions, a list such as '.MP3;.MP2'", ""},
         {"--add-extension", TOptionKind::Repeated, "TITLE EXT", "add one extension to a handler",
          ""},
         {"--remove-extension", TOptionKind::Repeated, "TITLE EXT",
          "remove one extension from a handler (never its last)", ""}},
        {"handlers --disable MP3 --enable ZIP", "handlers --set-extensions MP3 '.MP3;.MP3X'",
         "handlers --remove-extension MPG .MP2 --add-extension MP3 .MP2"},
        CmdHandlers};
    return def;
}
