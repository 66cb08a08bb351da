#pragma once

#include <QtCore/QString>

class QWidget;

// Makes the resources of the desktop program's library available (the
// manual and the icon); safe to call more than once.
void InitUiResources();

// Shows the user manual: `helpFile` when a language names one that exists
// (looked up as given, then in the language folders), else the bundled manual.
void ShowManual(QWidget* parent, const QString& helpFile = {});
