#include "ui/multi_lang.h"

#include "files/safe_file.h"
#include "settings/message_table.h"
#include "text/encodings.h"
#include "text/message_error.h"
#include "text/string_list.h"
#include "text/text_utils.h"
#include "ui/language_locale.h"
#include "ui/ui_questions.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QStandardPaths>
#include <QtGui/QAction>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableView>
#include <QtWidgets/QTreeView>
#include <algorithm>

namespace {

// A language file is a short text; anything larger is not one.
constexpr qint64 kMaxLanguageFile = 16 << 20;

const char* const kMenuName = "menuname:";
const char* const kHelpFile = "helpfile:";
const char* const kLocale = "locale:";

bool StartsWithText(const std::string& s, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    return s.size() >= n && CompareText(s.substr(0, n), prefix) == 0;
}

// Lines split at CR, LF or CR LF, decoded from 8-bit text where needed.
std::vector<std::string> SplitLines(const QByteArray& bytes) {
    std::vector<std::string> lines;
    std::string_view all(bytes.constData(), static_cast<size_t>(bytes.size()));
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = all.size();
        lines.push_back(EightBitText(all.substr(start, end - start)));
        if (end < all.size() && all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

// Upper-case key -> text; the first line of a key wins, empty texts are no translation.
QHash<QString, QString> TranslationMap(const std::vector<std::string>& lines) {
    QHash<QString, QString> map;
    for (const std::string& l : lines) {
        if (StartsWithText(l, kMenuName) || StartsWithText(l, kHelpFile)) continue;
        size_t eq = l.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        QString key = QStr(std::string_view(l).substr(0, eq)).toUpper();
        if (map.contains(key)) continue;
        map.insert(key, QStr(std::string_view(l).substr(eq + 1)));
    }
    return map;
}

// A window whose title shows more than its name (a file, a mark) keeps the
// translatable part in this property.
const char* const kTitleProperty = "tamblixTitle";

QString TitleOf(const QWidget* w) {
    const QVariant v = w->property(kTitleProperty);
    return v.isValid() ? v.toString() : w->windowTitle();
}

void SetTitle(QWidget* w, const QString& title) {
    if (w->property(kTitleProperty).isValid())
        w->setProperty(kTitleProperty, title);
    else
        w->setWindowTitle(title);
}

const char* const kTextProperty = "tamblixText";
const char* const kKeyProperty = "tamblixKey";

void ShowKeyedText(QObject* o) {
    const QVariant key = o->property(kKeyProperty);
    if (!key.isValid()) return;
    const QString text = QStr(GetMessageText(StdStr(key.toString())));
    if (auto* s = qobject_cast<QAbstractSpinBox*>(o))
        s->setSpecialValueText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(o))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        g->setTitle(text);
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setPlaceholderText(text);
}

bool Translatable(const QString& text) {
    return !text.isEmpty() && text != QLatin1String("-");
}

// Controls the translator walks: named, and not Qt's own internals.
bool Named(const QObject* o) {
    const QString& n = o->objectName();
    return !n.isEmpty() && !n.startsWith(QLatin1String("qt_"));
}

// One text slot of a control: its key suffix ("" for the control itself) and accessors.
struct TSlot {
    QString Key;
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
};

// Slots "base.0", "base.1"... of a control with numbered texts.
template <typename Get, typename Set>
void AddNumbered(std::vector<TSlot>& out, const QString& base, int count, Get get, Set set) {
    for (int i = 0; i < count; ++i)
        out.push_back({base + QLatin1Char('.') + QString::number(i), [get, i] { return get(i); },
                       [set, i](const QString& t) { set(i, t); }});
}

// The model whose column titles a list or table shows; null when it shows none.
QAbstractItemModel* ColumnTitles(QObject* o) {
    if (auto* tv = qobject_cast<QTreeView*>(o)) return tv->isHeaderHidden() ? nullptr : tv->model();
    if (auto* tv = qobject_cast<QTableView*>(o))
        return tv->horizontalHeader()->isHidden() ? nullptr : tv->model();
    return nullptr;
}

std::vector<TSlot> SlotsOf(QObject* o, const QString& form) {
    std::vector<TSlot> out;
    // A message's text is written and translated with the message table.
    if (!Named(o) || o->property(kKeyProperty).isValid()) return out;
    const QString base = form + QLatin1Char('.') + o->objectName();
    if (auto* a = qobject_cast<QAction*>(o)) {
        if (a->isSeparator()) return out;
        if (a->property("tamblixHint").toBool())
            out.push_back({base, [a] { return a->toolTip(); },
                           [a](const QString& t) {
                               a->setToolTip(t);
                               // A drop-down's text is its menu's title, translated on its own.
                               if (!a->menu()) a->setText(t);
                           }});
        else if (!a->menu()) // a submenu's caption is its menu's title
            out.push_back(
                {base, [a] { return a->text(); }, [a](const QString& t) { a->setText(t); }});
        return out;
    }
    if (auto* m = qobject_cast<QMenu*>(o)) {
        out.push_back({base, [m] { return m->title(); },
                       [m](const QString& t) {
                           m->setTitle(t);
                           // A toolbar drop-down that took the menu over leaves the
                           // parent menu's entry behind, which the title no longer names.
                           if (QWidget* p = m->parentWidget())
                               for (QAction* a : p->actions())
                                   if (a->menu() == m) a->setText(t);
                       }});
        return out;
    }
    if (auto* l = qobject_cast<QLabel*>(o)) {
        out.push_back({base, [l] { return l->text(); }, [l](const QString& t) { l->setText(t); }});
        return out;
    }
    if (auto* c = qobject_cast<QCheckBox*>(o)) {
        out.push_back({base, [c] { return c->text(); }, [c](const QString& t) { c->setText(t); }});
        return out;
    }
    if (auto* tw = qobject_cast<QTabWidget*>(o)) {
        AddNumbered(
            out, base, tw->count(), [tw](int i) { return tw->tabText(i); },
            [tw](int i, const QString& t) { tw->setTabText(i, t); });
        return out;
    }
    if (auto* tb = qobject_cast<QTabBar*>(o)) {
        AddNumbered(
            out, base, tb->count(), [tb](int i) { return tb->tabText(i); },
            [tb](int i, const QString& t) { tb->setTabText(i, t); });
        return out;
    }
    // Buttons, group boxes and fixed lists are translated only when marked so:
    // a button whose text is a name or a value keeps it.
    if (o->property(kTextProperty).toBool()) {
        if (auto* b = qobject_cast<QAbstractButton*>(o)) {
            out.push_back(
                {base, [b] { return b->text(); }, [b](const QString& t) { b->setText(t); }});
            return out;
        }
        if (auto* g = qobject_cast<QGroupBox*>(o)) {
            out.push_back(
                {base, [g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); }});
            return out;
        }
        if (auto* c = qobject_cast<QComboBox*>(o)) {
            AddNumbered(
                out, base, c->count(), [c](int i) { return c->itemText(i); },
                [c](int i, const QString& t) { c->setItemText(i, t); });
            return out;
        }
    }
    if (QAbstractItemModel* m = ColumnTitles(o))
        AddNumbered(
            out, base, m->columnCount(),
            [m](int i) { return m->headerData(i, Qt::Horizontal).toString(); },
            [m](int i, const QString& t) {
                m->setHeaderData(i, Qt::Horizontal, t, Qt::DisplayRole);
            });
    return out;
}

// Children in ownership order; other windows are walked on their own (menus
// are popups but belong to the window that holds them).
template <typename F> void Walk(QObject* o, const std::vector<std::string>* skip, F&& f) {
    for (QObject* c : o->children()) {
        if (c->isWidgetType()) {
            auto* w = static_cast<QWidget*>(c);
            if (w->isWindow() && !qobject_cast<QMenu*>(w)) continue;
        }
        if (skip && Named(c) &&
            std::find(skip->begin(), skip->end(), StdStr(c->objectName())) != skip->end()) {
            // A skipped menu keeps its title; only the items filled in at run time go.
            if (qobject_cast<QMenu*>(c)) f(c);
            continue;
        }
        Walk(c, skip, f);
        f(c);
    }
}

std::vector<QWidget*> TranslatableWindows() {
    std::vector<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (Named(w) && !qobject_cast<QMenu*>(w)) out.push_back(w);
    // A stable order, so that exported files do not change from run to run.
    std::sort(out.begin(), out.end(),
              [](QWidget* a, QWidget* b) { return a->objectName() < b->objectName(); });
    return out;
}

} // namespace

void MarkTranslated(QObject* o) {
    o->setProperty(kTextProperty, true);
}

void SetMessageKey(QObject* o, const char* key) {
    o->setProperty(kKeyProperty, QString::fromLatin1(key));
    ShowKeyedText(o);
}

TMultiLang::TMultiLang() {
    // The language and recent-catalog menus list names, not texts; the
    // Languages menu's own title is translated (its items have no names).
    SkipNames = {"frmAbout", "frmRichEdit", "miReopen"};
    userFolder_ = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                  QStringLiteral("/languages");
    // Installed beside the program (bin/../share/tamblix), or the source tree's
    // share folder when the program runs from its build folder.
    QStringList candidates{QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/tamblix/languages")};
#ifdef TAMBLIX_SOURCE_SHARE
    candidates << QStringLiteral(TAMBLIX_SOURCE_SHARE "/languages");
#endif
    for (const QString& c : candidates) {
        QString canonical = QDir(c).canonicalPath();
        if (!canonical.isEmpty() && !shareFolders_.contains(canonical)) shareFolders_ << canonical;
    }
}

QStringList TMultiLang::LanguageFolders() const {
    QStringList all = shareFolders_;
    if (!userFolder_.isEmpty()) all << userFolder_;
    return all;
}

QString TMultiLang::UserLanguagesFolder() const {
    return userFolder_;
}

void TMultiLang::SetFolders(QStringList shareFolders, QString userFolder) {
    shareFolders_ = std::move(shareFolders);
    userFolder_ = std::move(userFolder);
}

QString TMultiLang::FirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray head = f.read(4096);
    qsizetype end = head.indexOf('\n');
    qsizetype cr = head.indexOf('\r');
    if (cr >= 0 && (end < 0 || cr < end)) end = cr;
    if (end >= 0) head.truncate(end);
    return QStr(EightBitText(std::string_view(head.constData(), static_cast<size_t>(head.size()))));
}

void TMultiLang::LoadLanguageFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxLanguageFile)
        throw EMessageError("errFNF", StdStr(path));
    QByteArray bytes = f.readAll();
    Translations = SplitLines(bytes);
    LanguageHelpFile.clear();
    if (Translations.size() >= 2 && StartsWithText(Translations[1], kHelpFile))
        LanguageHelpFile = TrimBlanks(Translations[1].substr(9));
    LocaleName = FileLocale(path, Translations);
}

std::string TMultiLang::FileLocale(const QString& path, const std::vector<std::string>& lines) {
    // A "locale:" line right after the header, for languages users add; it has
    // no "=", so older builds pass over it.
    for (size_t i = 2; i < lines.size() && i < 5; ++i)
        if (StartsWithText(lines[i], kLocale)) return TrimBlanks(lines[i].substr(7));
    return LocaleOfLanguageFile(StdStr(QFileInfo(path).fileName()));
}

std::string TMultiLang::LanguageForSystem() const {
    const std::string wanted = SystemMessagesLocale();
    if (wanted.empty()) return {};
    std::string byLanguage;
    for (const TLanguageFile& f : ListLanguages()) {
        QFile file(f.Path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const std::string locale = FileLocale(f.Path, SplitLines(file.read(4096)));
        if (!LocaleServes(locale, wanted)) {
            // "pt" serves "pt_PT" as well as the Brazilian file can, when no better one is there.
            if (byLanguage.empty() && LocaleServes(locale.substr(0, locale.find('_')), wanted))
                byLanguage = StdStr(f.MenuName);
            continue;
        }
        return StdStr(f.MenuName);
    }
    return byLanguage;
}

void TMultiLang::ApplyLines(const std::vector<std::string>& lines) {
    const QHash<QString, QString> map = TranslationMap(lines);
    for (QWidget* w : TranslatableWindows()) {
        const QString form = w->objectName();
        auto apply = [&](QObject* o) {
            for (TSlot& s : SlotsOf(o, form)) {
                auto it = map.constFind(s.Key.toUpper());
                if (it != map.constEnd() && !it->isEmpty()) s.Set(*it);
            }
        };
        Walk(w, nullptr, apply);
        auto it = map.constFind((form + QLatin1Char('.') + form).toUpper());
        if (it != map.constEnd() && !it->isEmpty()) SetTitle(w, *it);
    }
    std::vector<std::string> messageLines;
    for (const std::string& l : lines)
        if (!StartsWithText(l, kMenuName) && !StartsWithText(l, kHelpFile))
            messageLines.push_back(l);
    ApplyMessageTexts(messageLines);
    SetSizeUnitTexts(GetMessageText("infoStrKB"), GetMessageText("infoStrMB"));
    for (QWidget* w : QApplication::allWidgets())
        ShowKeyedText(w);
    QtTranslated = ApplyLanguageLocale(LocaleName);
    if (OnApplied) OnApplied();
}

void TMultiLang::Apply() {
    ApplyLines(Translations);
}

void TMultiLang::TranslateWindow(QWidget* window) const {
    if (!window || Translations.empty()) return;
    const QHash<QString, QString> map = TranslationMap(Translations);
    const QString form = window->objectName();
    Walk(window, nullptr, [&](QObject* o) {
        for (TSlot& s : SlotsOf(o, form)) {
            auto it = map.constFind(s.Key.toUpper());
            if (it != map.constEnd() && !it->isEmpty()) s.Set(*it);
        }
    });
    auto it = map.constFind((form + QLatin1Char('.') + form).toUpper());
    if (it != map.constEnd() && !it->isEmpty()) SetTitle(window, *it);
}

std::vector<TMultiLang::TLanguageFile> TMultiLang::ListLanguages() const {
    std::vector<TLanguageFile> out;
    const QString pattern = QStringLiteral("*.") + Extension;
    for (const QString& folder : LanguageFolders()) {
        QStringList paths;
        QDirIterator it(folder, {pattern}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
        paths.sort();
        for (const QString& p : paths) {
            QString first = FirstLine(p);
            if (!first.startsWith(QLatin1String(kMenuName), Qt::CaseInsensitive)) continue;
            out.push_back({p, first.mid(9).trimmed()});
        }
    }
    return out;
}

QString TMultiLang::FindLanguageFile(const std::string& name) const {
    QString wanted = QStr(name);
    int amp = wanted.indexOf(QLatin1Char('&'));
    if (amp >= 0) wanted.remove(amp, 1);
    if (wanted.isEmpty()) return {};
    for (const TLanguageFile& f : ListLanguages())
        if (f.MenuName.contains(wanted)) return f.Path;
    return {};
}

bool TMultiLang::SelectLanguage(const std::string& name) {
    QString path = FindLanguageFile(name);
    if (path.isEmpty()) return false;
    LoadLanguageFile(path);
    CurrentLanguage = name;
    Apply();
    return true;
}

void TMultiLang::LoadOriginalLanguage() {
    // The design texts as remembered at start-up: the file in the user's
    // folder may be gone or edited by hand.
    ResetMessageTable();
    Translations = originalLines_;
    LanguageHelpFile.clear();
    LocaleName.clear();
    CurrentLanguage = OriginalFile;
    ApplyLines(originalLines_);
}

void TMultiLang::BuildLanguageMenu(QMenu* menu,
                                   const std::function<void(const QString&)>& onChosen) const {
    menu->clear();
    for (const TLanguageFile& f : ListLanguages()) {
        QAction* a = menu->addAction(f.MenuName);
        if (ShowMenuIcons) {
            QString icon = f.Path.left(f.Path.size() - 4) + QStringLiteral(".ico");
            if (QFile::exists(icon)) a->setIcon(QIcon(icon));
        }
        QString name = f.MenuName;
        QObject::connect(a, &QAction::triggered, menu, [onChosen, name] { onChosen(name); });
    }
    menu->setEnabled(!menu->isEmpty());
}

void TMultiLang::CollectWindow(QWidget* w, std::vector<std::string>& out) const {
    const QString form = w->objectName();
    Walk(w, &SkipNames, [&](QObject* o) {
        for (TSlot& s : SlotsOf(o, form)) {
            QString text = s.Get();
            // A list item of marks alone (";", "=") has nothing to translate.
            if (qobject_cast<QComboBox*>(o) &&
                std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }))
                continue;
            // Tab texts are written even when empty, as translators expect them all.
            if (Translatable(text) || qobject_cast<QTabWidget*>(o) || qobject_cast<QTabBar*>(o))
                out.push_back(StdStr(s.Key + QLatin1Char('=') + text));
        }
    });
    if (Translatable(TitleOf(w)))
        out.push_back(StdStr(form + QLatin1Char('.') + form + QLatin1Char('=') + TitleOf(w)));
}

std::vector<std::string> TMultiLang::CollectTexts() const {
    std::vector<std::string> out;
    for (QWidget* w : TranslatableWindows()) {
        if (std::find(SkipNames.begin(), SkipNames.end(), StdStr(w->objectName())) !=
            SkipNames.end())
            continue;
        CollectWindow(w, out);
    }
    for (const std::string& l : MessageTableLines()) {
        size_t eq = l.find('=');
        if (eq == std::string::npos || eq + 1 == l.size()) continue;
        out.push_back(UpperCase(l.substr(0, eq)) + l.substr(eq));
    }
    return out;
}

void TMultiLang::WriteLanguage(const QString& path) const {
    std::string text;
    for (const std::string& l : CollectTexts()) {
        text += l;
        text += "\r\n";
    }
    WriteFileAtomically(StdStr(path), text);
}

void TMultiLang::SaveOriginalLanguage() {
    originalLines_ = CollectTexts();
    if (userFolder_.isEmpty() || OriginalFile.empty()) return;
    // A folder that cannot be made or written only costs the template file.
    QDir().mkpath(userFolder_);
    std::string text;
    for (const std::string& l : originalLines_) {
        text += l;
        text += "\r\n";
    }
    try {
        WriteFileAtomically(StdStr(userFolder_ + QLatin1Char('/') + QStr(OriginalFile)), text);
    } catch (const std::exception&) {
    }
}
