#pragma once

#include <QtCore/QString>
#include <string>
#include <string_view>

// What a language brings besides its texts: the conventions of its locale
// (dates, number marks, the reading direction) and Qt's own translations.

// The locale a shipped language file is written for, by its file name
// ("French.bab" gives "fr"); empty when the name is not one we ship.
std::string LocaleOfLanguageFile(std::string_view fileName);

// The locale the user's system asks messages in: LC_ALL, LC_MESSAGES, then
// LANG, without its character set ("de_DE.UTF-8" gives "de_DE"); empty for
// C and POSIX.
std::string SystemMessagesLocale();

// True when `wanted` (a system locale, "pt_BR", "de_AT") is served by a
// language file written for `offered` ("pt_BR", "de"): the same language,
// and the same country when the file names one.
bool LocaleServes(std::string_view offered, std::string_view wanted);

// Applies a locale to the application: dates, number marks, reading
// direction and Qt's translations (when installed). Empty: the program's
// design conventions, left to right, no Qt translation. Returns whether Qt's
// translations were found for it.
bool ApplyLanguageLocale(const std::string& locale);

// Text that reads left to right whatever the window's direction (a path, a
// file name): marked so only while the application lays out right to left.
QString LeftToRight(const QString& text);

// Empty when the fonts installed can show the locale's script; otherwise the
// name of the script that lacks a font.
QString MissingScriptFont(const std::string& locale);
