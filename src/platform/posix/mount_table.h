// The mounted file systems (the text of /proc/self/mountinfo) and what each
// kind of file system offers for DOS attributes: pure text and table logic,
// so it is tested without mounting anything.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zavero::platform {

// One line of mountinfo.
struct MountEntry {
  unsigned Major = 0, Minor = 0;  // the device as st_dev reports it
  std::string Root;               // the folder of the file system mounted here
  std::string MountPoint;        // octal escapes (\040 ...) undone
  std::string FsType;            // "ext4", "fuseblk", "fuse.sshfs" ...
  std::string Source;             // "/dev/sdb1", an image path, a share ...
};

// Every well-formed line, in the file's order.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// Where a file system keeps the DOS attribute word.
enum class StoreKind {
  None,   // nowhere: every entry carries no bits
  Ntfs,   // xattr system.ntfs_attrib_be (ntfs-3g, ntfs3)
  Samba,  // xattr user.DOSATTRIB, Samba's store on a server's own disk
  Cifs,   // xattr user.cifs.dosattrib, the SMB client's view of the server's word
  Fat,    // FAT_IOCTL_GET/SET_ATTRIBUTES (vfat, msdos, exfat)
};

// True for FUSE mounts, whose real file system only a probe can tell.
bool IsFuseType(const std::string& fs_type);

// The store for a file system type. `answers_ntfs` is asked only for FUSE
// types: whether system.ntfs_attrib_be answers there (ntfs-3g).
StoreKind ChooseStore(const std::string& fs_type, const std::function<bool()>& answers_ntfs);

// The type name for a statfs f_type, for devices mountinfo does not list
// (btrfs subvolumes have devices of their own); "" when unknown.
std::string FsTypeForMagic(std::uint64_t magic);

// Whether a file system that surely keeps DOS attributes (FAT, exFAT, NTFS,
// an SMB share) is mounted anywhere below `folder` (an absolute path without
// links): a walk of the folder goes on into it, as a walk of /media/user goes
// into the stick mounted there. `answers_ntfs` as for ChooseStore.
bool DosStoreMountedBelow(const std::vector<MountEntry>& mounts, const std::string& folder,
                          const std::function<bool(const MountEntry&)>& answers_ntfs);

enum class DiskKind { NoDisk, Removable, Fixed };

struct DriveMount {
  std::string MountPoint;
  DiskKind Kind;
};

// The "drives": mount points of file systems that carry DOS attributes of
// their own (FAT, exFAT, NTFS) on a removable or fixed disk, in mount-point
// order, each file system once (its whole-volume mount preferred over bind
// mounts of a folder inside it). Network, pseudo and other disk file systems
// are left out: a Samba share's disk is walked by naming its folder.
std::vector<DriveMount> ChooseDrives(const std::vector<MountEntry>& mounts,
                                     const std::function<DiskKind(const MountEntry&)>& disk_of,
                                     const std::function<bool(const MountEntry&)>& answers_ntfs);

}  // namespace zavero::platform
