// The command tables against the parsers and the help the program prints:
// an option the parser takes without a table row, or a row the parser does
// not take, fails here.
#include "cli/cli_context.h"
#include "cli/command_table.h"
#include "support/cli_fixture.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

bool TakesValue(const TOptionDef& o) {
    return o.Kind == TOptionKind::Value || o.Kind == TOptionKind::Repeated;
}

// Runs a command's parser in this process; returns the message of what it
// threw ("" when it ran through). A std::logic_error fails the test.
std::string Parse(const TCommandDef& c, std::vector<std::string> args, const TTempFolder& tmp) {
    TCliContext ctx;
    ctx.SettingsFile = tmp.File("settings.ini");
    ctx.Command = &c;
    ctx.Args = std::move(args);
    try {
        c.Run(ctx);
    } catch (const std::logic_error& e) {
        ADD_FAILURE() << c.Name << ": " << e.what();
        return e.what();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(CommandTable, EveryNameTheParsersTakeIsInTheTable) {
    TTempFolder tmp;
    for (const TCommandDef* c : AllCommands()) {
        // No arguments: every option is looked for before the positionals are missed.
        Parse(*c, {}, tmp);
        for (const auto& spelling : c->Spellings()) {
            const TOptionDef* o = c->FindOption(spelling);
            if (!o && spelling.rfind("--no-", 0) == 0) o = c->FindOption("--" + spelling.substr(5));
            if (!o) continue; // a common option, taken by the program itself
            std::vector<std::string> args{spelling};
            if (TakesValue(*o)) args.push_back("1");
            std::string why = Parse(*c, args, tmp);
            EXPECT_EQ(why.find("unknown option"), std::string::npos) << c->Name << ' ' << why;
        }
    }
}

TEST(CommandTable, TablesAreComplete) {
    std::vector<std::string> names;
    for (const TCommandDef* c : AllCommands()) {
        EXPECT_TRUE(*c->Summary) << c->Name;
        EXPECT_FALSE(c->Examples.empty()) << c->Name;
        for (const char* e : c->Examples)
            EXPECT_EQ(std::string(e).rfind(std::string(c->Name) + " ", 0), 0u) << e;
        std::vector<std::string> seen;
        for (const auto& s : c->Spellings()) {
            EXPECT_EQ(s.rfind("--", 0), 0u) << c->Name << ' ' << s;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), s), 0) << c->Name << ' ' << s;
            seen.push_back(s);
        }
        for (const auto& o : c->Options) {
            EXPECT_TRUE(*o.Help) << c->Name << ' ' << o.Name;
            EXPECT_EQ(TakesValue(o), *o.ValueName != 0) << c->Name << ' ' << o.Name;
        }
        EXPECT_EQ(FindCommand(c->Name), c);
        names.push_back(c->Name);
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(FindCommand("nope"), nullptr);
}

TEST(CommandTable, UndeclaredNamesAreProgrammingErrors) {
    TCliContext ctx;
    ctx.Command = &LsCommand();
    ctx.Args = {"--tags", "x"};
    std::string value;
    bool on = false;
    EXPECT_THROW(ctx.TakeFlag("--undeclared"), std::logic_error);
    EXPECT_THROW(ctx.TakeOption("--undeclared", value), std::logic_error);
    EXPECT_THROW(ctx.TakeOptionAll("--undeclared"), std::logic_error);
    EXPECT_THROW(ctx.TakeSwitch("--undeclared", on), std::logic_error);
    EXPECT_THROW(ctx.CheckDeclared("--undeclared", true), std::logic_error);
    // A flag taken as a value option, and positionals other than the table's.
    EXPECT_THROW(ctx.TakeOption("--tags", value), std::logic_error);
    EXPECT_THROW(ctx.Positionals(2, 2), std::logic_error);
    EXPECT_THROW(ctx.Positionals(1, 3), std::logic_error);
    EXPECT_TRUE(ctx.TakeFlag("--tags"));
    EXPECT_EQ(ctx.Positionals(1, 2), std::vector<std::string>{"x"});

    ctx.Command = &TagsCommand();
    ctx.Args = {"a", "b", "c"};
    EXPECT_EQ(ctx.Positionals(1, SIZE_MAX).size(), 3u);
    EXPECT_THROW(ctx.Positionals(1, 1), std::logic_error);
}

TEST(CommandTable, NearestNameTakesOnlyLikelyMistakes) {
    std::vector<std::string> names{"--level",      "--levels",     "--folders",
                                   "--no-folders", "--match-case", "--in"};
    EXPECT_EQ(NearestName("--levle", names), "--level");
    EXPECT_EQ(NearestName("--lvel", names), "--level");
    EXPECT_EQ(NearestName("--levelss", names), "--levels");
    EXPECT_EQ(NearestName("--no-foldrs", names), "--no-folders");
    EXPECT_EQ(NearestName("--match_case", names), "--match-case");
    EXPECT_EQ(NearestName("--folder", names), "--folders");
    EXPECT_EQ(NearestName("--x", names), "");
    EXPECT_EQ(NearestName("--zzzzzzzz", names), "");
    EXPECT_EQ(NearestName("", names), "");
    EXPECT_EQ(NearestName("--level", {}), "");
    // A long word costs no more than its first letters.
    EXPECT_EQ(NearestName("--level" + std::string(1 << 20, 'x'), names), "");
}

// The help with its filled lines joined, so that a phrase can be looked for.
std::string Joined(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == ' ') {
            while (i + 1 < text.size() && text[i + 1] == ' ')
                ++i;
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

class CliHelp : public TCliFixture {};

TEST_F(CliHelp, EveryCommandExplainsEveryOption) {
    for (const TCommandDef* c : AllCommands()) {
        TProgramRun r = Cli({c->Name, "--help"});
        EXPECT_EQ(r.ExitCode, 0) << c->Name;
        EXPECT_EQ(r.Err, "");
        EXPECT_EQ(r.Out, CommandHelp(*c));
        EXPECT_NE(r.Out.find("Usage: tamblix-cli " + c->Synopsis() + "\n"), std::string::npos);
        for (const auto& s : c->Spellings())
            EXPECT_NE(r.Out.find(s), std::string::npos) << c->Name << ' ' << s;
        for (const auto& o : c->Options) {
            if (!*o.Default) continue;
            EXPECT_NE(Joined(r.Out).find(std::string("(default: ") + o.Default + ")"),
                      std::string::npos)
                << c->Name << ' ' << o.Name;
        }
        EXPECT_NE(r.Out.find(std::string("tamblix-cli ") + c->Examples[0]), std::string::npos);
        // The other spellings of the same question.
        EXPECT_EQ(Cli({"help", c->Name}).Out, r.Out);
        EXPECT_EQ(Cli({c->Name, "x", "-h"}).Out, r.Out);
        EXPECT_NE(Cli({"--help"}).Out.find(std::string("  ") + c->Name + " "), std::string::npos);
    }
    TProgramRun r = Cli({"help"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, Cli({"--help"}).Out);
    EXPECT_EQ(r.Out, ProgramHelp());
}

TEST_F(CliHelp, WrongNamesSuggestTheNearest) {
    TProgramRun r = Cli({"export", "c.txc", "o.txt", "--levle", "3"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Err, "tamblix-cli: unknown option --levle; did you mean --level?\n"
                     "Try 'tamblix-cli export --help'.\n");
    r = Cli({"search", "c.txc", "--no-match-cas"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("did you mean --no-match-case?"), std::string::npos) << r.Err;
    r = Cli({"ls", "c.txc", "--recursiv=1"});
    EXPECT_NE(r.Err.find("unknown option --recursiv=1; did you mean --recursive?"),
              std::string::npos)
        << r.Err;
    r = Cli({"ls", "c.txc", "--frobnicate"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Err, "tamblix-cli: unknown option --frobnicate\nTry 'tamblix-cli ls --help'.\n");
    r = Cli({"serch", "c.txc"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("unknown command serch; did you mean search?"), std::string::npos);
    r = Cli({"help", "exprot"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("did you mean export?"), std::string::npos);
    EXPECT_EQ(r.Out, "");
    // The nothing-given usage goes to stderr with exit 2.
    r = Cli({});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Err, ProgramHelp());
}

} // namespace
