// The main window's layout over several start/quit cycles on one settings file.
#include "platform/qt_settings_store.h"
#include "settings/global_data.h"
#include "support/main_window_fixture.h"
#include "ui/main_window.h"

#include <QtTest/QtTest>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QTreeView>
#include <memory>

namespace {

struct TLayout {
    QRect Geometry;
    bool Maximized = false;
    QList<int> Msgs, Main, List;
    QList<int> Columns;
    bool operator==(const TLayout&) const = default;
};

QList<int> SplitterSizes(TfrmMain& w, const char* name) {
    auto* s = w.findChild<QSplitter*>(QLatin1String(name));
    return s ? s->sizes() : QList<int>();
}

TLayout Read(TfrmMain& w) {
    TLayout l;
    l.Geometry = w.geometry();
    l.Maximized = w.isMaximized();
    l.Msgs = SplitterSizes(w, "spltMsgs");
    l.Main = SplitterSizes(w, "spltMain");
    l.List = SplitterSizes(w, "spltList");
    QHeaderView* h = w.ListView()->header();
    for (int i = 0; i < h->count(); ++i)
        l.Columns << h->sectionSize(i);
    return l;
}

char* Text(const TLayout& l) {
    QString s;
    QDebug(&s) << l.Geometry << l.Maximized << l.Msgs << l.Main << l.List << l.Columns;
    return qstrdup(s.toUtf8().constData());
}

} // namespace

namespace QTest {
template <> char* toString(const TLayout& l) {
    return Text(l);
}
} // namespace QTest

class TestWindowLayout : public QObject, public TMainWindowFixture {
    Q_OBJECT

private:
    std::unique_ptr<TfrmMain> Start() {
        auto w = std::make_unique<TfrmMain>(CreateSettingsStore(Path("layout.ini").toStdString()));
        w->GD().ActionEndBeep = false;
        w->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(w.get())); }();
        QTest::qWait(20);
        return w;
    }

    void Quit(std::unique_ptr<TfrmMain> w) {
        QVERIFY(w->close());
        w.reset();
    }

    void Drag(TfrmMain& w, const char* splitter, int first) {
        auto* s = w.findChild<QSplitter*>(QLatin1String(splitter));
        QList<int> sizes = s->sizes();
        int total = 0;
        for (int v : sizes)
            total += v;
        sizes[0] = first;
        sizes[1] = total - first - (sizes.size() > 2 ? sizes[2] : 0);
        s->setSizes(sizes);
    }

private slots:
    void initTestCase() { SetUpWindows(); }

    void layoutComesBackAsLeft() {
        // Left normal, with the panels and columns moved.
        auto w = Start();
        w->setGeometry(40, 30, 700, 480);
        QTest::qWait(20);
        Drag(*w, "spltMain", 230);
        Drag(*w, "spltList", 250);
        Drag(*w, "spltMsgs", 330);
        w->ListView()->header()->resizeSection(0, 260);
        w->ListView()->header()->resizeSection(2, 97);
        const TLayout normal = Read(*w);
        Quit(std::move(w));
        for (int cycle = 0; cycle < 4; ++cycle) {
            w = Start();
            QCOMPARE(Read(*w), normal);
            Quit(std::move(w));
        }

        // Left maximised, the list made wider there.
        w = Start();
        w->showMaximized();
        QTRY_VERIFY(w->isMaximized() && w->width() > normal.Geometry.width());
        QTest::qWait(20);
        Drag(*w, "spltMain", 200);
        const TLayout maximized = Read(*w);
        QVERIFY(maximized.Main != normal.Main);
        Quit(std::move(w));
        for (int cycle = 0; cycle < 4; ++cycle) {
            w = Start();
            QTRY_VERIFY(w->isMaximized());
            QTest::qWait(20);
            QCOMPARE(Read(*w), maximized);
            Quit(std::move(w));
        }

        // Back to normal: the window returns to where it was before maximising.
        w = Start();
        w->showNormal();
        QTRY_COMPARE(w->geometry(), normal.Geometry);
        Quit(std::move(w));
    }
};

QTEST_MAIN(TestWindowLayout)
#include "window_layout_test.moc"
