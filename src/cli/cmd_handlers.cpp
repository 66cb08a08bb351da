#include "analysis/handlers.h"
#include "cli/cli_context.h"
#include "settings/global_data.h"
#include "settings/message_error.h"

#include <iostream>
#include <stdexcept>

// handlers [--enable TITLE]... [--disable TITLE]... [--defaults]
// Prints the file-type handler table, after changing it when asked.
int CmdHandlers(TCliContext& ctx) {
    std::vector<std::string> enable = ctx.TakeOptionAll("--enable");
    std::vector<std::string> disable = ctx.TakeOptionAll("--disable");
    bool defaults = ctx.TakeFlag("--defaults");
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
        "is written: an unknown title changes nothing.",
        {},
        {{"--enable", TOptionKind::Repeated, "TITLE", "switch a handler on", ""},
         {"--disable", TOptionKind::Repeated, "TITLE", "switch a handler off", ""},
         {"--defaults", TOptionKind::Flag, "", "go back to the shipped table", ""}},
        {"handlers --disable MP3 --enable ZIP"},
        CmdHandlers};
    return def;
}
