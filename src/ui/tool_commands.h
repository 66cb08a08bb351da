#pragma once

#include <QtCore/QString>

class IMainHost;
class TMultiLang;

// The Tools and Help menus: the shared lists, the handler table, the options,
// the language files, the manual and the About box.
class TToolCommands {
public:
    TToolCommands(IMainHost& host, TMultiLang& lang);

    // `title` is the command's text, shown before the list file's name.
    void EditCategories(const QString& title);
    void EditLocations(const QString& title);
    void EditTagNames();
    void EditHandlers();
    // True when the options changed.
    bool EditOptions();
    void ExportLanguage();
    void LoadOriginalLanguage();
    void ShowManual();
    void ShowAbout();

private:
    IMainHost& host_;
    TMultiLang& lang_;
};
