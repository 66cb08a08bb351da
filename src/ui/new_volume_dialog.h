#pragma once

#include "catalog/scan_ops.h"
#include "ui/dialog_common.h"
#include "ui/dialog_scan_pages.h"

#include <QtCore/QStringList>
#include <QtGui/QIcon>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct TVolumeInfo;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TGlobalData;
class THandlerList;
class THandlerView;
class TLibObj;

// What a new volume is scanned with: root folder, title, serial, levels,
// defaults, the collection that receives it, and the handler table. Created
// once and reused: the controls keep their contents, which is what lets the
// title advance from one volume to the next. Its last choices are kept under
// "frmNewVolume".
class TfrmNewVolume : public TPlacedDialog {
    Q_OBJECT
public:
    TfrmNewVolume(TGlobalData& globals, THandlerList& handlers, ISettingsStore& store,
                  QWidget* parent = nullptr);

    // Shows the dialog for `lib` (its collections fill the collection choice).
    // On OK with a folder: the options (also written into the global data's
    // scan fields). On Cancel or with an empty folder: nothing. With
    // "I&ncrement Volume Title" ticked, the title of the last accepted volume
    // is advanced before the dialog shows.
    std::optional<TScanOptions> Run(const TLibObj& lib);
    // The next Run starts on this folder (a drive just mounted), not on the last one.
    void StartAt(const std::string& folder) { start_ = folder; }
    // "&Insert New Volume After": the add command runs again after this volume.
    bool RepeatAdd() const;
    bool IncrementTitleChecked() const;
    // Images the collection choice shows beside the collections.
    void SetCollectionImages(const QList<QIcon>& images) { images_ = images; }

    // The steps of Run, for callers that show the dialog themselves.
    void PrepareShow(const TLibObj& lib);
    TScanOptions Options() const;
    QString FolderResult;
    QString TitleResult;

    void accept() override;
    void done(int r) override;

    // Handlers of the controls.
    void cbDrChange();
    void edFolderChange();
    // The folders accepted last, newest first (at most ten).
    QStringList RecentFolders() const;
    QToolButton* RecentButton() const { return tbRecent; }
    static QStringList WithRecent(QStringList recent, const QString& folder);
    // "ext4 file system, 1.2 GiB used of 30.0 GiB"; empty when not known.
    static QString SourceInfoText(const TVolumeInfo& volume);
    void btnBrowseClick();
    void btnOpenClick();
    void tbCatClick();
    void tbLocClick();
    // Points the drive box at the mounted filesystem holding path.
    void PointDriveAt(const QString& path);
    QString DrivePath() const;

    // The widgets tests fill in and read.
    QTabWidget* Pages() const { return pc; }
    QComboBox* DriveCombo() const { return cbDr; }
    QLineEdit* FolderEdit() const { return edFolder; }
    QLineEdit* TitleEdit() const { return edTitle; }
    QLineEdit* SerialEdit() const { return edser; }
    QSpinBox* LevelsBox() const { return edLevels; }
    QCheckBox* FoldersOnlyBox() const { return cbFoldersOnly; }
    QComboBox* CollectionCombo() const { return combo; }
    THandlerView* HandlerList() const { return lv_Ext; }
    QCheckBox* InsertNextBox() const { return cbNew; }
    QCheckBox* IncrementBox() const { return cbIncr; }
    const TDefaultsPage& DefaultsPage() const { return Defaults; }

private:
    QTabWidget* pc = nullptr;
    QComboBox* cbDr = nullptr;
    QLineEdit* edFolder = nullptr;
    QLabel* lblSourceInfo = nullptr; // file system and size of the chosen source
    QPushButton* okButton_ = nullptr;
    QPushButton* btnBrowse = nullptr;
    QPushButton* btnOpen = nullptr;
    QToolButton* tbRecent = nullptr;
    QLineEdit* edTitle = nullptr;
    QLineEdit* edser = nullptr;
    QSpinBox* edLevels = nullptr;
    QCheckBox* cbFoldersOnly = nullptr;
    QComboBox* combo = nullptr;
    TDefaultsPage Defaults;
    THandlerView* lv_Ext = nullptr;
    QCheckBox* cbNew = nullptr;
    QCheckBox* cbIncr = nullptr;

private:
    void FillDrives();
    void FillCollections(const TLibObj& lib);
    void ReadChoices();
    void WriteChoices();
    void FillRecentMenu();

    TGlobalData& globals_;
    THandlerList& handlers_;
    QList<QIcon> images_;
    QString root_ = QStringLiteral("rfMyComputer");
    std::string start_;
    QStringList recent_;
    bool advancePending_ = false;
};
