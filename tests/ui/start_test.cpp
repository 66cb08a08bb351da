// The desktop program's command line, run as its own process with no display.
#include "support/run_program.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

class TestStart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Nothing the program could open a window on.
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            qunsetenv(v);
    }

    void helpAndVersionNeedNoDisplay() {
        for (const char* opt : {"--help", "-h"}) {
            TProgramRun r = RunProgram({TAMBLIX_GUI, opt});
            QCOMPARE(r.ExitCode, 0);
            QVERIFY2(r.Out.rfind("Usage: tamblix", 0) == 0, r.Out.c_str());
            QVERIFY(r.Out.find("--settings FILE") != std::string::npos);
            QVERIFY(r.Err.empty());
        }
        TProgramRun v = RunProgram({TAMBLIX_GUI, "--version"});
        QCOMPARE(v.ExitCode, 0);
        QCOMPARE(QString::fromStdString(v.Out), QStringLiteral("tamblix " TAMBLIX_VERSION "\n"));
        // Help wins over whatever else is given, toolkit options included.
        TProgramRun h = RunProgram({TAMBLIX_GUI, "-platform", "xcb", "cat.TXC", "--help"});
        QCOMPARE(h.ExitCode, 0);
    }

    void wrongUseSaysWhatAndExitsTwo() {
        struct TCase {
            std::vector<std::string> Args;
            const char* Says;
        };
        const TCase cases[] = {{{"--frob"}, "unknown option '--frob'"},
                               {{"-x"}, "unknown option '-x'"},
                               {{"--settings"}, "--settings needs a file name"},
                               {{"--settings="}, "--settings needs a file name"},
                               {{"a.TXC", "b.TXC"}, "more than one catalog"}};
        for (const TCase& c : cases) {
            std::vector<std::string> argv{TAMBLIX_GUI};
            argv.insert(argv.end(), c.Args.begin(), c.Args.end());
            TProgramRun r = RunProgram(argv);
            QCOMPARE(r.ExitCode, 2);
            QVERIFY2(r.Err.find(std::string("tamblix: ") + c.Says) == 0, r.Err.c_str());
            QVERIFY(r.Err.find("Usage: tamblix") != std::string::npos);
            QVERIFY(r.Out.empty());
        }
    }

    // Without a display the program says so, names the tool that needs none and
    // ends with status 1, instead of Qt's plugin message and an abort.
    void noDisplaySaysSoAndNamesTheTool() {
        TProgramRun r = RunProgram({TAMBLIX_GUI, "music.txc"});
        QCOMPARE(r.ExitCode, 1);
        QVERIFY2(r.Err.rfind("tamblix: no display was found (neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set)\n",
                             0) == 0,
                 r.Err.c_str());
        QVERIFY(r.Err.find("'tamblix-cli --help'") != std::string::npos);
        QVERIFY2(r.Err.find("Reinstalling") == std::string::npos, r.Err.c_str());
        QVERIFY(r.Out.empty());

        // A display that is named but cannot be reached: Qt's reason is kept.
        qputenv("DISPLAY", ":987654");
        r = RunProgram({TAMBLIX_GUI});
        qunsetenv("DISPLAY");
        QCOMPARE(r.ExitCode, 1);
        QVERIFY2(r.Err.rfind("tamblix: no display was found: ", 0) == 0, r.Err.c_str());
        QVERIFY2(r.Err.find(":987654") != std::string::npos, r.Err.c_str());
        QVERIFY(r.Err.find("tamblix-cli") != std::string::npos);
    }

    // Where a window system starts, the guard steps aside and the window opens.
    void withAWindowSystemTheWindowOpens() {
        QTemporaryDir dir;
        // Its own folders, so that no running instance answers in its place.
        const QByteArray home = dir.path().toLocal8Bit();
        const std::pair<const char*, QByteArray> env[] = {{"QT_QPA_PLATFORM", "offscreen"},
                                                          {"TAMBLIX_QUIT_WHEN_SHOWN", "1"},
                                                          {"XDG_RUNTIME_DIR", home},
                                                          {"XDG_CONFIG_HOME", home + "/config"},
                                                          {"XDG_DATA_HOME", home + "/data"}};
        std::vector<std::pair<const char*, QByteArray>> saved;
        for (const auto& [name, value] : env) {
            saved.emplace_back(name, qgetenv(name));
            qputenv(name, value);
        }
        const std::string settings = dir.filePath(QStringLiteral("s.ini")).toStdString();
        TProgramRun r = RunProgram({TAMBLIX_GUI, "--settings", settings});
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        QVERIFY2(r.ExitCode == 0, r.Err.c_str());
        QVERIFY(r.Err.find("no display") == std::string::npos);
    }

    // A catalog whose name starts with '-' is a catalog, not an option: the
    // program gets as far as needing a display, and says that instead.
    void existingDashFileIsNotAnOption() {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile f(QStringLiteral("-old.TXC"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        TProgramRun r = RunProgram({TAMBLIX_GUI, "-old.TXC"});
        QCOMPARE(r.ExitCode, 1);
        QVERIFY(r.Err.find("unknown option") == std::string::npos);
        QVERIFY(r.Err.find("no display was found") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestStart)
#include "start_test.moc"
