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

    // A catalog whose name starts with '-' is a catalog, not an option: the
    // program gets as far as needing a display, and says that instead.
    void existingDashFileIsNotAnOption() {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile f(QStringLiteral("-old.TXC"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        TProgramRun r = RunProgram({TAMBLIX_GUI, "-old.TXC"});
        QVERIFY(r.ExitCode != 2);
        QVERIFY(r.Err.find("unknown option") == std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestStart)
#include "start_test.moc"
