// What the progress panel shows while a scan runs: the entries and bytes met
// so far with their rate, and for an update a bar that moves towards the
// total the catalog already knows.
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/progress_state.h"
#include "support/main_window_fixture.h"
#include "ui/main_window.h"
#include "ui/progress_panel.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <algorithm>
#include <vector>

namespace {

// Passes everything on to the window and keeps what a scan reported.
class TRecordingSink : public IProgressSink {
public:
    TRecordingSink(TProgressState& state, IProgressSink& next) : state_(state), next_(next) {
        state_.SetSink(this);
    }
    ~TRecordingSink() override { state_.SetSink(&next_); }
    TRecordingSink(const TRecordingSink&) = delete;
    TRecordingSink& operator=(const TRecordingSink&) = delete;

    void ProgressStarted(const std::string& label, int64_t maximum) override {
        Maximum = maximum;
        Positions.clear();
        next_.ProgressStarted(label, maximum);
    }
    void ProgressMoved(int64_t position) override {
        Positions.push_back(position);
        next_.ProgressMoved(position);
    }
    void ScanCounts(int64_t entries, int64_t bytes) override {
        Entries.push_back(entries);
        Bytes = bytes;
        next_.ScanCounts(entries, bytes);
    }
    void ProgressEnded() override { next_.ProgressEnded(); }
    void StatusText(const std::string& text) override { next_.StatusText(text); }
    void LogLine(const std::string& text) override { next_.LogLine(text); }
    void IdleChanged(bool idle) override { next_.IdleChanged(idle); }
    void ProcessEvents() override { next_.ProcessEvents(); }

    int64_t Maximum = -1;
    std::vector<int64_t> Positions;
    std::vector<int64_t> Entries;
    int64_t Bytes = -1;

private:
    TProgressState& state_;
    IProgressSink& next_;
};

bool Ascending(const std::vector<int64_t>& v) {
    return std::is_sorted(v.begin(), v.end());
}

} // namespace

class TestScanProgress : public QObject, public TMainWindowFixture {
    Q_OBJECT

    static TProgressPanel* Panel(TfrmMain& w) { return w.findChild<TProgressPanel*>("infoPan"); }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    // Every folder and file met counts once, in order; the bytes are the files'.
    void scanCountsWhatTheFolderHolds() {
        auto w = MakeWindow();
        TRecordingSink rec(w->GD().Progress, *w);
        QString src = WriteSource("counted", {{"music/a.mp3", 1000},
                                              {"music/b.mp3", 2000},
                                              {"docs/sub/x.txt", 500},
                                              {"top.txt", 7}});
        QVERIFY(AddVolume(*w, src, "Counted"));
        // music, a.mp3, b.mp3, docs, sub, x.txt, top.txt
        QCOMPARE(rec.Entries.size(), size_t(7));
        QVERIFY(Ascending(rec.Entries));
        QCOMPARE(rec.Entries.back(), int64_t(7));
        QCOMPARE(rec.Bytes, int64_t(3507));
        // The panel's last figures stay readable once the scan is over.
        auto* counts = Panel(*w)->findChild<QLabel*>("lblCounts");
        QVERIFY(counts);
        QVERIFY2(counts->text().startsWith("7 entries, 3 507"), qPrintable(counts->text()));
        w->Lib().Modified = false;
    }

    // The catalog knows how many entries an update will meet: the bar moves
    // forward only, never past its end, and reaches it, although the disk now
    // holds more entries than the catalog did.
    void updateShowsAPercentThatReachesTheEnd() {
        auto w = MakeWindow();
        std::vector<std::pair<QString, qint64>> files;
        for (int i = 0; i < 300; ++i)
            files.push_back({QString("d%1/f%2.dat").arg(i % 3).arg(i), 10});
        QString src = WriteSource("upd", files);
        TTreeNode* vol = AddVolume(*w, src, "Upd");
        QVERIFY(vol);
        for (int i = 0; i < 40; ++i)
            QVERIFY(QFile::remove(QString("%1/d0/f%2.dat").arg(src).arg(i * 3)));
        for (int i = 0; i < 90; ++i) {
            QFile f(QString("%1/d1/new%2.dat").arg(src).arg(i));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        TRecordingSink rec(w->GD().Progress, *w);
        QProgressBar* bar = Panel(*w)->findChild<QProgressBar*>("pb");
        QVERIFY(bar);
        std::vector<int64_t> percents;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
            if (bar->maximum() > 0) percents.push_back(int64_t(v) * 100 / bar->maximum());
        });
        QVERIFY(UpdateDeleting(*w, vol, src));
        // 3 folders and 300 files were known.
        QCOMPARE(rec.Maximum, int64_t(303));
        QVERIFY(!rec.Positions.empty());
        QVERIFY(Ascending(rec.Positions));
        QCOMPARE(rec.Positions.back(), int64_t(303));
        QVERIFY(!percents.empty());
        QVERIFY(Ascending(percents));
        QCOMPARE(percents.back(), int64_t(100));
        // Every entry now on the disk was met.
        QCOMPARE(rec.Entries.back(), int64_t(3 + 300 - 40 + 90));
        QCOMPARE(w->Lib().FileCount, int64_t(350));
        w->Lib().Modified = false;
    }

    // The figures with their rate, as the user reads them.
    void countsTextReadsWell() {
        QCOMPARE(TProgressPanel::CountsText(1234, 5000, 2.0, nullptr),
                 QString("1 234 entries, 5 000, 617 entries/s"));
        // Files of a megabyte and more: the rate in MB.
        QCOMPARE(TProgressPanel::CountsText(10, 50 * 1048576LL, 2.0, nullptr),
                 QString("10 entries, 52 428 800, 25 MB/s"));
        // Too early for a rate, and nothing found yet.
        QCOMPARE(TProgressPanel::CountsText(3, 30, 0.05, nullptr), QString("3 entries, 30"));
        QCOMPARE(TProgressPanel::CountsText(0, 0, 5.0, nullptr), QString("0 entries, 0"));
        auto kb = [](int64_t b) { return std::to_string(b / 1024) + " KB"; };
        QCOMPARE(TProgressPanel::CountsText(2, 4096, 0, kb), QString("2 entries, 4 KB"));
    }

    // A scan reports every entry; the panel redraws at most every 100 ms.
    void panelShowsAtMostTenTimesASecond() {
        QWidget host;
        TProgressPanel panel(&host);
        auto* counts = panel.findChild<QLabel*>("lblCounts");
        QVERIFY(counts);
        int shown = 0;
        QString last;
        QElapsedTimer clock;
        clock.start();
        panel.Start("Adding: ", 0);
        for (int i = 1; i <= 200000; ++i) {
            panel.Counts(i, i);
            if (counts->text() != last) {
                last = counts->text();
                ++shown;
            }
        }
        const qint64 ms = clock.elapsed();
        QVERIFY(shown >= 1);
        QVERIFY2(shown <= ms / 100 + 1, qPrintable(QString("%1 in %2 ms").arg(shown).arg(ms)));
        // The last figures show when their time comes, even with no report after them.
        QTRY_VERIFY2(counts->text().startsWith("200 000 entries"), qPrintable(counts->text()));
        panel.Counts(200001, 200001);
        panel.Finish();
        QVERIFY2(counts->text().startsWith("200 001 entries"), qPrintable(counts->text()));
    }
};

QTEST_MAIN(TestScanProgress)
#include "scan_progress_test.moc"
