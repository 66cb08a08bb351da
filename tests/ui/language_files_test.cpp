// Every shipped language file against the texts the program is built with:
// every key there and no other, the same placeholders, and nothing left in
// English but the names and units a language writes as English does (listed
// per file in tests/languages/same_as_english/).
#include "support/main_window_fixture.h"
#include "ui/language_locale.h"
#include "ui/main_window.h"
#include "ui/multi_lang.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QStringDecoder>
#include <QtTest/QtTest>
#include <algorithm>

namespace {

struct TLanguageFile {
    QStringList Lines;
    QStringList Keys; // upper case, in file order, first of each
    QHash<QString, QString> Texts;
    QStringList Repeated;
};

TLanguageFile Parse(const QByteArray& bytes) {
    TLanguageFile f;
    f.Lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!f.Lines.isEmpty() && f.Lines.last().isEmpty()) f.Lines.removeLast();
    for (qsizetype i = 2; i < f.Lines.size(); ++i) {
        const QString& l = f.Lines[i];
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = l.left(eq).toUpper();
        if (f.Texts.contains(key)) {
            f.Repeated << key;
            continue;
        }
        f.Keys << key;
        f.Texts.insert(key, l.mid(eq + 1));
    }
    return f;
}

// "%s", "%d", "%1": what a text is filled with, by number and kind (a
// language may put "%1" and "%2" in another order).
QStringList Placeholders(const QString& text) {
    static const QRegularExpression re(QStringLiteral("%(?:[1-9][0-9]?|[sdiuf])"));
    QStringList out;
    for (const QRegularExpressionMatch& m : re.globalMatch(text))
        out << m.captured();
    out.sort();
    return out;
}

bool HasLetters(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isLetter(); });
}

QString Shipped(const QString& name) {
    return QStringLiteral(TAMBLIX_SHARE "/languages/") + name;
}

QString SameAsEnglish(const QString& file) {
    return QStringLiteral(TAMBLIX_SHARE "/../tests/languages/same_as_english/") +
           QString(file).replace(QLatin1String(".bab"), QLatin1String(".txt"));
}

} // namespace

class TestLanguageFiles : public QObject, public TMainWindowFixture {
    Q_OBJECT

    TLanguageFile english_;

private slots:
    void initTestCase() {
        SetUpWindows();
        // The design texts of every window, as the program writes them at start.
        auto w = MakeWindow();
        w->LoadLanguage();
        QFile f(w->Translator().UserLanguagesFolder() + "/OriginalLanguage.bab");
        QVERIFY(f.open(QIODevice::ReadOnly));
        english_ = Parse("\r\n\r\n" + f.readAll());
        QVERIFY(english_.Keys.size() > 500);
        QVERIFY(english_.Repeated.isEmpty());
    }

    void everyFileIsComplete_data() {
        QTest::addColumn<QString>("file");
        const QStringList files = QDir(Shipped({})).entryList({"*.bab"}, QDir::Files);
        QVERIFY(files.contains("Deutsch.bab"));
        for (const QString& f : files)
            QTest::newRow(qPrintable(f)) << f;
    }

    void everyFileIsComplete() {
        QFETCH(QString, file);
        QFile in(Shipped(file));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)utf8.decode(bytes);
        QVERIFY2(!utf8.hasError(), "not UTF-8");
        QVERIFY2(bytes.count('\n') == bytes.count("\r\n"), "lines must end with CR LF");
        const TLanguageFile lang = Parse(bytes);
        QVERIFY(lang.Lines.size() > 2);
        QVERIFY2(lang.Lines[0].startsWith("menuname:") && HasLetters(lang.Lines[0].mid(9)),
                 "line 1 names the language");
        QVERIFY(lang.Lines[1].startsWith("helpfile:"));

        QStringList same;
        QFile sameFile(SameAsEnglish(file));
        if (sameFile.open(QIODevice::ReadOnly))
            for (const QString& l : QString::fromUtf8(sameFile.readAll()).split('\n'))
                if (!l.trimmed().isEmpty() && !l.trimmed().startsWith('#'))
                    same << l.trimmed().toUpper();

        QStringList faults;
        for (const QString& k : lang.Repeated)
            faults << "repeated: " + k;
        for (const QString& k : english_.Keys) {
            const QString en = english_.Texts.value(k);
            const QString text = lang.Texts.value(k);
            if (text.isEmpty()) {
                faults << "missing: " + k;
                continue;
            }
            if (Placeholders(text) != Placeholders(en)) faults << "placeholders: " + k + "=" + text;
            if (text == en && HasLetters(en) && !same.contains(k))
                faults << "English: " + k + "=" + text;
        }
        for (const QString& k : lang.Keys)
            if (!english_.Texts.contains(k)) faults << "no such key: " + k;
        QVERIFY2(faults.isEmpty(), qPrintable(file + ":\n" + faults.join('\n')));
    }

    // Each shipped file has a locale, and the software centres' entry lists it.
    void metainfoListsEveryLanguage() {
        QFile meta(
            QStringLiteral(TAMBLIX_SHARE "/metainfo/io.github.tamblix.Tamblix.metainfo.xml"));
        QVERIFY(meta.open(QIODevice::ReadOnly));
        static const QRegularExpression re(QStringLiteral("<lang[^>]*>([^<]+)</lang>"));
        QSet<QString> listed;
        for (const QRegularExpressionMatch& m : re.globalMatch(QString::fromUtf8(meta.readAll())))
            listed << m.captured(1);
        QSet<QString> shipped;
        for (const QString& f : QDir(Shipped({})).entryList({"*.bab"}, QDir::Files)) {
            const std::string locale = LocaleOfLanguageFile(f.toStdString());
            QVERIFY2(!locale.empty(), qPrintable(f + " has no locale"));
            shipped << QString::fromStdString(locale);
        }
        QCOMPARE(listed, shipped);
    }
};

QTEST_MAIN(TestLanguageFiles)
#include "language_files_test.moc"
