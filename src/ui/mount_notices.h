#pragma once

#include "mounts/mount_watcher.h"

#include <QtWidgets/QFrame>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IMainHost;
class QCheckBox;
class QLabel;
class QPushButton;
class QSocketNotifier;
class TTreeNode;

// The notice a catalogued disc brings when it is mounted while its catalog is
// open: "CD1 in Music.txc is mounted at /media/...: Update · Ignore · Always".
// It never blocks the window. "Always" is kept per volume in the settings and
// updates that volume from then on without asking, deleting what is gone only
// when "Delete not found" was ticked with it. An update the disc's unmount
// cuts short is abandoned and the catalog comes back as it was. A new drive
// that no volume matches is offered for Add Volume.
class TMountNotices : public QFrame {
    Q_OBJECT
public:
    TMountNotices(IMainHost& host, QWidget* parent);
    ~TMountNotices() override;

    // Follows `table` (the system's mount table unless a test gives a file)
    // with `probe` for labels and serials.
    void Watch(TMountWatcher::TProbe probe, const std::string& table = "/proc/self/mountinfo");
    // Reads the table and acts on what changed; the table's signal calls it.
    void CheckMounts();
    // The volumes of the open catalog that are mounted now, and where.
    std::vector<std::pair<TTreeNode*, std::string>> MountedVolumes() const;
    // Marks the volumes that are mounted in the catalog tree.
    void MarkMounted();
    // The filesystem the notice is about (empty when it is hidden).
    const TMountedFs& Shown() const { return fs_; }
    // The window's Add Volume, its dialog starting on a mount point.
    std::function<void(const std::string& mountPoint)> AddVolume;

    void UpdateClick();
    void IgnoreClick();
    void AlwaysClick();
    void AddClick();

private:
    void Offer(const TMountedFs& fs, const std::vector<TTreeNode*>& matches);
    void Hide();
    // Updates `volume` from the mount; false when it was abandoned or failed.
    bool UpdateFrom(TTreeNode* volume, const TMountedFs& fs, bool deleteNotFound, bool ask);
    std::string AlwaysKey(const TTreeNode* volume) const;
    TTreeNode* OfferedVolume() const;

    IMainHost& host_;
    std::unique_ptr<TMountWatcher> watcher_;
    QSocketNotifier* notifier_ = nullptr;
    QLabel* text_;
    QCheckBox* delete_;
    QPushButton* update_;
    QPushButton* ignore_;
    QPushButton* always_;
    QPushButton* add_;
    TMountedFs fs_;
    // The mount being updated, and whether it left meanwhile.
    const TMountedFs* updating_ = nullptr;
    bool gone_ = false;
    bool checking_ = false;
};
