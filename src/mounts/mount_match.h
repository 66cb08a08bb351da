#pragma once

#include "mounts/mount_watcher.h"

#include <vector>

class TLibObj;
class TTreeNode;

// The volumes of the catalog that a mounted filesystem holds: the same serial
// and the label as their title (a filesystem without a label: its mount point
// as their source). A filesystem without a serial matches nothing. Several
// when the catalog holds the same disc twice; the caller lists them and never
// picks one.
std::vector<TTreeNode*> MatchingVolumes(const TLibObj& lib, const TMountedFs& fs);

// The volume a mounted filesystem is, for a caller that updates it
// unattended: the mount point as a native path with a trailing separator.
std::string MountRoot(const TMountedFs& fs);

// Whether a filesystem just mounted is a drive to offer as a new volume: one
// on a block device (no pseudo or network filesystem, no packaged
// application's squashfs image), mounted at no other point (a bind mount or a
// second mount shows a disc already there), and removable: on a disk that can
// be unplugged, or mounted below /media or /run/media, where the desktop
// mounts what the user plugs in. The kernel's removable flag alone would miss
// most USB disks, which call themselves fixed.
bool IsNewDrive(const TMountedFs& fs, const std::vector<TMountedFs>& mounted);
