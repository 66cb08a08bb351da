#pragma once

#include <QtCore/QString>

class ISettingsStore;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QWidget;
class THandlerList;
class THandlerView;
class TStringList;

// The defaults page the new-volume and update dialogs share: category,
// comments, location (new volume only) and where the defaults go.
struct TDefaultsPage {
    QWidget* Page = nullptr;
    QComboBox* filecat = nullptr;
    QToolButton* tbCat = nullptr;
    QLineEdit* filecom = nullptr;
    QComboBox* volLoc = nullptr; // null without a location
    QToolButton* tbLoc = nullptr;
    QCheckBox* cbAddFolders = nullptr;
    QCheckBox* cbAddFiles = nullptr;

    // The choices into the scan's options or the global data, which name them
    // alike; the location only where the page has one.
    template <class T> void ReadInto(T& to) const;
};
TDefaultsPage BuildDefaultsPage(QWidget* parent, bool withLocation);

// The read-only serial of the scanned folder ("edser") and the number of
// levels to read ("edLevels", 0 for every level).
QLineEdit* MakeSerialEdit(QWidget* parent);
QSpinBox* MakeLevelsBox(QWidget* parent);

// Adds the "&Handlers" page, the handler list alone, to `pages`.
THandlerView* AddHandlersPage(QTabWidget* pages, THandlerList& handlers, ISettingsStore& store);

// Refills a drop-down with free text from a list, keeping the typed text.
void FillListCombo(QComboBox* combo, const TStringList& list);

// Edits a shared list (categories, locations) in the text editor titled
// "what - file"; true when it changed.
bool EditSharedList(QWidget* parent, ISettingsStore& store, const QString& what, TStringList& list,
                    const QString& file);

// The platform's folder browser; empty when nothing was chosen.
QString BrowseFolder(QWidget* parent, const QString& caption, const QString& start);
