#pragma once

#include <QtCore/QString>
#include <optional>
#include <string>
#include <vector>

class QWidget;

// Text files the small dialogs load and save: lines ended by CR LF, written
// through a new file renamed over the old one. Lines that are not UTF-8 are
// read as Windows-1252. Errors are shown over parent; nothing then.
std::optional<std::vector<std::string>> DlgLoadLines(QWidget* parent, const QString& caption);
bool DlgSaveLines(QWidget* parent, const QString& caption, const std::vector<std::string>& lines);

// Files above this size are refused rather than loaded into an editor.
inline constexpr qint64 kDlgMaxTextFile = 64LL * 1024 * 1024;
