#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QObject;
class QWidget;

// Buttons, group boxes and fixed drop-down lists are translated only when
// marked: many buttons show names or values, not texts.
void MarkTranslated(QObject* o);

// A control whose text is a message of the message table (for texts that are
// not a control's caption: a spin box's "Any", a painted hint); shown at once
// and again whenever a language is applied.
void SetMessageKey(QObject* o, const char* key);

// Translates the windows and the message table from ".bab" language files.
// Window texts are found by object name: the window's name + "." + the
// control's name (column and tab captions add "." + their index); message
// texts by their key.
class TMultiLang {
public:
    TMultiLang();

    QString Extension = QStringLiteral("bab");
    std::string OriginalFile = "OriginalLanguage.bab";
    // Controls whose texts (and their children's) stay out of language files.
    std::vector<std::string> SkipNames;
    // The language applied last (a menu name, or OriginalFile).
    std::string CurrentLanguage;
    // "helpfile:" of the language loaded last.
    std::string LanguageHelpFile;
    // The locale of the language loaded last ("de", "pt_BR"): a "locale:" line
    // after the header, else the shipped file's name; empty for the design texts.
    std::string LocaleName;
    // Whether Qt's own translations were found for it.
    bool QtTranslated = false;
    // The lines of the language file loaded last.
    std::vector<std::string> Translations;
    bool ShowMenuIcons = true;

    // Folders searched for language files: the installed share folder(s), then
    // the user's data folder.
    QStringList LanguageFolders() const;
    // Where OriginalLanguage.bab is written and exported languages go.
    QString UserLanguagesFolder() const;
    void SetFolders(QStringList shareFolders, QString userFolder);

    // Reads a language file (8-bit files are decoded as Windows-1252);
    // EMessageError("errFNF") when it cannot be read.
    void LoadLanguageFile(const QString& path);
    // Translates every window, then the message table.
    void Apply();
    // Translates one window with the loaded translations (windows made later).
    void TranslateWindow(QWidget* window) const;

    // Language files with a "menuname:" first line, in folder then name order.
    struct TLanguageFile {
        QString Path;
        QString MenuName;
    };
    std::vector<TLanguageFile> ListLanguages() const;
    // The first language file whose menu name contains `name` (first "&" removed).
    QString FindLanguageFile(const std::string& name) const;
    // Loads and applies a language; false (nothing changed) when no file has it.
    bool SelectLanguage(const std::string& name);
    // The language file serving the system's messages locale (its menu name);
    // empty when none does.
    std::string LanguageForSystem() const;
    // Back to the texts the windows were built with.
    void LoadOriginalLanguage();
    // Fills `menu` with one item per language file; `onChosen` gets the menu name.
    void BuildLanguageMenu(QMenu* menu, const std::function<void(const QString&)>& onChosen) const;

    // The current texts of every window and of the message table, key=text.
    std::vector<std::string> CollectTexts() const;
    // Writes CollectTexts to `path` (CR LF lines); throws EMessageError("errWrite").
    void WriteLanguage(const QString& path) const;
    // Remembers the design texts and writes them to OriginalFile in the user folder.
    void SaveOriginalLanguage();

    // Called after every Apply so that the window refreshes texts it builds itself.
    std::function<void()> OnApplied;

    // The locale a language file is written for (see LocaleName).
    static std::string FileLocale(const QString& path, const std::vector<std::string>& lines);
    // Line 1 of a file ("menuname:..." or anything else); empty when unreadable.
    static QString FirstLine(const QString& path);

private:
    void CollectWindow(QWidget* w, std::vector<std::string>& out) const;
    void ApplyLines(const std::vector<std::string>& lines);

    QStringList shareFolders_;
    QString userFolder_;
    std::vector<std::string> originalLines_;
};
