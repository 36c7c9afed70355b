// Mounted file systems: which attribute store each device has, and which
// mounts are "drives" (file systems with DOS attributes of their own on a
// removable or fixed disk).
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/posix/attribute_store.h"
#include "platform/posix/posix.h"
#include "platform/posix/volumes.h"

namespace zavero::platform {

namespace {

std::string ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<MountEntry> CurrentMounts() {
  return ParseMountInfo(ReadWholeFile("/proc/self/mountinfo"));
}

// ntfs-3g answers for its attribute word on every entry; exfat-fuse and
// other FUSE file systems do not. `path` is a mount point or an entry's
// descriptor link (attribute_store.h), which the call follows to the entry.
bool AnswersNtfs(const char* path) {
  unsigned char word[4];
  return getxattr(path, "system.ntfs_attrib_be", word, sizeof word) == 4;
}

// The disk under a block device, from sysfs: a partition's disk is its
// parent folder there. USB disks often call themselves fixed, so a USB path
// counts as removable as well.
DiskKind DiskOfBlockDevice(unsigned major, unsigned minor) {
  const std::string link = "/sys/dev/block/" + std::to_string(major) + ':' + std::to_string(minor);
  char resolved[PATH_MAX];
  if (realpath(link.c_str(), resolved) == nullptr) return DiskKind::NoDisk;
  std::string disk = resolved;
  if (access((disk + "/partition").c_str(), F_OK) == 0) disk.erase(disk.rfind('/'));
  const bool removable = ReadWholeFile((disk + "/removable").c_str()).compare(0, 1, "1") == 0;
  return removable || disk.find("/usb") != std::string::npos ? DiskKind::Removable
                                                             : DiskKind::Fixed;
}

DiskKind DiskOfMount(const MountEntry& mount) {
  if (mount.Major != 0) return DiskOfBlockDevice(mount.Major, mount.Minor);
  // FUSE mounts get a device number of their own; the disk is their source.
  struct stat st;
  if (mount.Source.compare(0, 5, "/dev/") != 0 || stat(mount.Source.c_str(), &st) != 0 ||
      !S_ISBLK(st.st_mode))
    return DiskKind::NoDisk;
  return DiskOfBlockDevice(major(st.st_rdev), minor(st.st_rdev));
}

// What was chosen for each device, once: the walk asks for every entry, and a
// FUSE probe costs a round trip to the file system's process.
std::map<std::uint64_t, StoreKind> g_stores;
std::map<std::uint64_t, bool> g_numbers_stable;

}  // namespace

StoreKind StoreKindOfDevice(std::uint64_t device, const char* path) {
  const auto known = g_stores.find(device);
  if (known != g_stores.end()) return known->second;

  std::string type, mount_point;
  for (const MountEntry& m : CurrentMounts()) {
    if (makedev(m.Major, m.Minor) == device) {
      type = m.FsType;
      mount_point = m.MountPoint;
      break;
    }
  }
  struct statfs fs;
  if (type.empty() && statfs(path, &fs) == 0)
    type = FsTypeForMagic(static_cast<std::uint64_t>(fs.f_type));
  // The entry in hand first; its mount's root too, should the entry refuse.
  const StoreKind kind = ChooseStore(type, [&] {
    return AnswersNtfs(path) || (!mount_point.empty() && AnswersNtfs(mount_point.c_str()));
  });
  g_stores[device] = kind;
  return kind;
}

bool InodeNumbersStable(std::uint64_t device, int fd) {
  const auto found = g_numbers_stable.find(device);
  if (found != g_numbers_stable.end()) return found->second;
  struct statfs fs;
  bool stable = true;
  if (fstatfs(fd, &fs) == 0) {
    const std::string type = FsTypeForMagic(static_cast<std::uint64_t>(fs.f_type));
    if (type == "vfat" || type == "exfat") stable = false;
    if (type == "fuse") stable = StoreKindOfDevice(device, EntryPath(fd).Text) == StoreKind::Ntfs;
  }
  g_numbers_stable[device] = stable;
  return stable;
}

bool KnownDevice(std::uint64_t device, StoreKind* kind, bool* numbers_stable) {
  const auto store = g_stores.find(device);
  const auto stable = g_numbers_stable.find(device);
  if (store == g_stores.end() || stable == g_numbers_stable.end()) return false;
  if (kind != nullptr) *kind = store->second;
  if (numbers_stable != nullptr) *numbers_stable = stable->second;
  return true;
}

bool DosStoreMountedBelow(const char* folder) {
  // Mount points are listed as the kernel resolved them.
  char resolved[PATH_MAX];
  if (realpath(folder, resolved) == nullptr) return false;
  return DosStoreMountedBelow(CurrentMounts(), resolved, [](const MountEntry& m) {
    return AnswersNtfs(m.MountPoint.c_str());
  });
}

std::vector<DriveMount> MountedDrives() {
  return ChooseDrives(CurrentMounts(), DiskOfMount,
                      [](const MountEntry& m) { return AnswersNtfs(m.MountPoint.c_str()); });
}

}  // namespace zavero::platform
