#pragma once

#include "ui/dialog_common.h"

#include <QtCore/QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class TGlobalData;
class TLibFolder;
class TLibFolderItem;
class TLibObj;
class TTreeNode;

// What the properties dialog is opened on.
struct TPropertiesTarget {
    // Selected catalog-tree nodes, in tree order.
    std::vector<TTreeNode*> Nodes;
    // The folder whose entries the list shows, and the selected entries in list order.
    TLibFolder* ListFolder = nullptr;
    std::vector<TLibFolderItem*> Entries;
    // Page shown first: 0 library, 1 volume, 2 folder, 3 file, 4 tags.
    int Page = 0;
    // Only the library page (the Library menu's command).
    bool LibraryOnly = false;
};

// Totals the file sizes below some catalog nodes on a worker thread. The
// catalog must not change while it runs: Stop() before anything writes it.
class TSizeJob {
public:
    TSizeJob() = default;
    ~TSizeJob() { Stop(); }
    TSizeJob(const TSizeJob&) = delete;
    TSizeJob& operator=(const TSizeJob&) = delete;

    // An empty node list totals every volume. False when no thread could be started.
    bool Start(const TLibObj& lib, std::vector<const TTreeNode*> nodes);
    // Asks the thread to stop and waits for it.
    void Stop();
    bool Started() const { return thread_.joinable(); }
    bool Finished() const { return finished_.load(); }
    int64_t Total() const { return total_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int64_t> total_{0};
};

// Shows and edits the descriptive fields of the library, the volume of the
// selection, the selected folders and the selected list entries. Values the
// selected items share are shown; on OK only the fields the user changed are
// written, to every selected item.
class TfrmProperties : public TPlacedDialog {
    Q_OBJECT
public:
    TfrmProperties(TGlobalData& globals, ISettingsStore& store, QWidget* parent = nullptr);
    ~TfrmProperties() override;

    // Shows the dialog modally; true when OK changed the catalog (which is
    // then marked modified).
    static bool Execute(QWidget* parent, TLibObj& lib, TGlobalData& globals, ISettingsStore& store,
                        const TPropertiesTarget& target);

    // Fills every page from the catalog and starts the size threads.
    void Fill(TLibObj& lib, const TPropertiesTarget& target);
    // Writes what the user changed; true when the catalog changed.
    bool WriteChanges();
    bool Changed() const { return changed_; }

    void accept() override;
    void done(int r) override;

    // Handlers of the controls.
    void btnRefreshClick();
    void tbCatLibClick();
    void tbLocClick();
    void tbEditClick(int page);
    void tbEditDriveClick();
    void tbAddClick();
    void tbDeleteClick();

    // Stops and joins the size threads (the dialog does it before writing and on closing).
    void StopSizeThreads();
    bool SizeThreadsRunning() const;
    // Publishes the threads' running totals into their fields.
    void ShowSizeTotals();

    // The tag grid's rows as caption=value lines.
    std::vector<std::string> GridLines() const;

    enum { kLibraryPage, kVolumePage, kFolderPage, kFilePage, kTagsPage };

private:
    QTabWidget* pcProp = nullptr;
    // Library.
    QLineEdit* libfile = nullptr;
    QLineEdit* libdate = nullptr;
    QLineEdit* libsize = nullptr;
    QComboBox* LibCat = nullptr;
    QPlainTextEdit* libCom = nullptr;
    QLineEdit* infoV = nullptr;
    QLineEdit* infoF = nullptr;
    QLineEdit* infoFi = nullptr;
    QLineEdit* infoMem = nullptr;
    QLineEdit* infoFis = nullptr;
    QPushButton* btnRefresh = nullptr;
    // Volume.
    QLineEdit* volCaption = nullptr;
    QLineEdit* volpath = nullptr;
    QComboBox* volCat = nullptr;
    QPlainTextEdit* volcom = nullptr;
    QLineEdit* voldate = nullptr;
    QLineEdit* volsize = nullptr;
    QComboBox* volLoc = nullptr;
    QLineEdit* volser = nullptr;
    QLineEdit* volDrive = nullptr;
    QToolButton* tbEditDrive = nullptr;
    QCheckBox* cb_rec_vol = nullptr;
    QCheckBox* cb_rec_volow = nullptr;
    // Folder.
    QLineEdit* catcaption = nullptr;
    QLineEdit* catpath = nullptr;
    QComboBox* catcat = nullptr;
    QPlainTextEdit* catcom = nullptr;
    QLineEdit* catDate = nullptr;
    QLineEdit* catSize = nullptr;
    QCheckBox* cb_rec_fol = nullptr;
    QCheckBox* cb_rec_folow = nullptr;
    // File.
    QLabel* filethumb = nullptr; // the picture of one photo or video
    QLineEdit* filecaption = nullptr;
    QLineEdit* filepath = nullptr;
    QComboBox* filecat = nullptr;
    QPlainTextEdit* filecom = nullptr;
    QLineEdit* filedate = nullptr;
    QLineEdit* filesize = nullptr;
    // Tags.
    QTableWidget* vle = nullptr;
    QToolButton* tbAdd = nullptr;
    QToolButton* tbDelete = nullptr;

    // The eleven editable texts, in a fixed order.
    enum TEditable {
        eLibCat,
        eLibCom,
        eVolCaption,
        eVolCat,
        eVolCom,
        eVolLoc,
        eVolDrive,
        eCatCat,
        eCatCom,
        eFileCat,
        eFileCom,
        kEditableCount
    };
    QString EditableText(int which) const;
    bool Marked(int which) const { return marks_[static_cast<size_t>(which)]; }
    QString FormatBytes(int64_t bytes) const;
    void FillCategoryCombos();
    void ClearFields();
    void FillLibrary();
    void FillEntries();
    void FillNodes();
    void FillVolume();
    void FillTags();
    void StartSizeThreads();
    void ShowCounters();
    void UpdateOverwriteBoxes();
    QWidget* BuildLibraryPage();
    QWidget* BuildVolumePage();
    QWidget* BuildFolderPage();
    QWidget* BuildFilePage();
    QWidget* BuildTagsPage();

    TGlobalData& globals_;
    TLibObj* lib_ = nullptr;
    TPropertiesTarget target_;
    TTreeNode* volumeNode_ = nullptr;
    std::array<QString, kEditableCount> snapshot_;
    std::array<bool, kEditableCount> marks_{};
    bool changed_ = false;
    // Merged tag values of the selected entries: raw (key=value) and shown (caption=value).
    std::vector<std::string> rawTags_;
    std::vector<std::string> shownTags_;
    std::array<QToolButton*, 4> editButtons_{};
    std::array<QToolButton*, 4> catButtons_{};
    QToolButton* tbLoc_ = nullptr;
    // Size totals: library (infoFis), volume (volsize), folders (catSize).
    std::array<std::unique_ptr<TSizeJob>, 3> sizeJobs_;
    std::array<int64_t, 3> shownTotals_{-1, -1, -1};
    QTimer* sizeTimer_ = nullptr;
};
