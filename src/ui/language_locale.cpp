#include "ui/language_locale.h"

#include "text/string_list.h"
#include "text/text_utils.h"

#include <QtCore/QLibraryInfo>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>
#include <QtGui/QFontDatabase>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDateTimeEdit>
#include <cstdlib>
#include <memory>

namespace {

struct TShipped {
    const char* File; // file name without ".bab"
    const char* Locale;
};

// The languages we ship, by file name: the file format has no locale line that
// older builds would understand, and the menu name is the translator's choice.
const TShipped kShipped[] = {
    {"Deutsch", "de"},
    {"French", "fr"},
    {"Spanish", "es"},
    {"Italian", "it"},
    {"PortugueseBrazil", "pt_BR"},
    {"Russian", "ru"},
    {"Polish", "pl"},
    {"Dutch", "nl"},
    {"Czech", "cs"},
    {"ChineseSimplified", "zh_CN"},
    {"Japanese", "ja"},
    {"Arabic", "ar"},
};

std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_-"));
}

// A date with its year in full, in the locale's order and marks.
QString DateFormat(const QLocale& locale) {
    QString f = locale.dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QTranslator*& QtTranslator() {
    static QTranslator* t = nullptr;
    return t;
}

} // namespace

std::string LocaleOfLanguageFile(std::string_view fileName) {
    if (fileName.size() > 4 && CompareText(fileName.substr(fileName.size() - 4), ".bab") == 0)
        fileName.remove_suffix(4);
    for (const TShipped& s : kShipped)
        if (CompareText(fileName, s.File) == 0) return s.Locale;
    return {};
}

std::string SystemMessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (!v || !*v) continue;
        std::string locale(v);
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale == "C" || locale == "POSIX") return {};
        return locale;
    }
    return {};
}

bool LocaleServes(std::string_view offered, std::string_view wanted) {
    if (offered.empty() || wanted.empty()) return false;
    if (CompareText(LanguagePart(offered), LanguagePart(wanted)) != 0) return false;
    if (offered.size() == LanguagePart(offered).size()) return true;
    return wanted.size() > LanguagePart(wanted).size() &&
           CompareText(offered.substr(LanguagePart(offered).size() + 1),
                       wanted.substr(LanguagePart(wanted).size() + 1)) == 0;
}

bool ApplyLanguageLocale(const std::string& locale) {
    const bool design = locale.empty();
    const QLocale loc = design ? QLocale::system() : QLocale(QString::fromStdString(locale));
    QLocale::setDefault(loc);
    const bool rtl = !design && loc.textDirection() == Qt::RightToLeft;
    QApplication::setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);

    // Sizes and counts: the design's space and point, else the locale's marks.
    // Right to left, marks that keep a number in one piece as it reads
    // (a comma and a point never split digits apart).
    if (design)
        SetNumberMarks(" ", ".");
    else if (rtl)
        SetNumberMarks(",", ".");
    else
        SetNumberMarks(loc.groupSeparator().toStdString(), loc.decimalPoint().toStdString());

    for (QWidget* w : QApplication::allWidgets())
        if (auto* d = qobject_cast<QDateTimeEdit*>(w); d && d->calendarPopup()) {
            d->setLocale(loc);
            d->setDisplayFormat(DateFormat(loc));
        }

    QTranslator*& qt = QtTranslator();
    if (qt) {
        QCoreApplication::removeTranslator(qt);
        delete qt;
        qt = nullptr;
    }
    if (design) return false;
    auto t = std::make_unique<QTranslator>();
    if (!t->load(loc, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    qt = t.release();
    QCoreApplication::installTranslator(qt);
    return true;
}

QString LeftToRight(const QString& text) {
    if (QGuiApplication::layoutDirection() != Qt::RightToLeft || text.isEmpty()) return text;
    const QChar mark(0x200E); // LEFT-TO-RIGHT MARK
    return mark + text + mark;
}

QString MissingScriptFont(const std::string& locale) {
    struct TScript {
        const char* Language;
        QFontDatabase::WritingSystem System;
        const char* Name;
    };
    static const TScript kScripts[] = {
        {"zh", QFontDatabase::SimplifiedChinese, "Chinese"},
        {"ja", QFontDatabase::Japanese, "Japanese"},
        {"ar", QFontDatabase::Arabic, "Arabic"},
        {"ru", QFontDatabase::Cyrillic, "Cyrillic"},
    };
    for (const TScript& s : kScripts)
        if (CompareText(LanguagePart(locale), s.Language) == 0)
            return QFontDatabase::families(s.System).isEmpty() ? QString::fromLatin1(s.Name)
                                                               : QString();
    return {};
}
