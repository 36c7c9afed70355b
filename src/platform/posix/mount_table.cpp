#include "platform/posix/mount_table.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace zavero::platform {

namespace {

// mountinfo writes blank, tab, newline and backslash in paths as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool ParseDevice(const std::string& field, unsigned* major, unsigned* minor) {
  const std::size_t colon = field.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == field.size()) return false;
  char* end = nullptr;
  *major = static_cast<unsigned>(std::strtoul(field.c_str(), &end, 10));
  if (end != field.c_str() + colon) return false;
  *minor = static_cast<unsigned>(std::strtoul(field.c_str() + colon + 1, &end, 10));
  return *end == 0;
}

bool IsOneOf(const std::string& value, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (value == name) return true;
  return false;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // id parent maj:min root mount-point options [optional fields...] - type source super-options
    // Fields are split at blanks only: the kernel escapes no other white
    // space, so a carriage return or vertical tab in a mount point (a stick's
    // label) belongs to it and must not forge fields.
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string field; std::getline(fields, field, ' ');)
      if (!field.empty()) f.push_back(field);
    const auto dash = std::find(f.begin(), f.end(), "-");
    if (f.size() < 6 || dash - f.begin() < 6 || f.end() - dash < 3) continue;
    MountEntry entry;
    if (!ParseDevice(f[2], &entry.Major, &entry.Minor)) continue;
    entry.Root = Unescape(f[3]);
    entry.MountPoint = Unescape(f[4]);
    entry.FsType = dash[1];
    entry.Source = Unescape(dash[2]);
    mounts.push_back(std::move(entry));
  }
  return mounts;
}

bool IsFuseType(const std::string& fs_type) {
  return fs_type == "fuse" || fs_type == "fuseblk" || fs_type.compare(0, 5, "fuse.") == 0 ||
         fs_type.compare(0, 8, "fuseblk.") == 0;
}

StoreKind ChooseStore(const std::string& fs_type, const std::function<bool()>& answers_ntfs) {
  if (IsOneOf(fs_type, {"vfat", "msdos", "exfat"})) return StoreKind::Fat;
  // Since Linux 6.9 the kernel's ntfs3 also answers to the name "ntfs".
  if (IsOneOf(fs_type, {"ntfs3", "ntfs"})) return StoreKind::Ntfs;
  if (IsOneOf(fs_type, {"cifs", "smb3"})) return StoreKind::Cifs;
  // Local file systems with user extended attributes, where a Samba server
  // keeps the attributes of the files it shares.
  if (IsOneOf(fs_type, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "zfs",
                        "bcachefs", "nilfs2", "tmpfs", "overlay"}))
    return StoreKind::Samba;
  // ntfs-3g and exfat-fuse look alike in mountinfo; only ntfs-3g answers.
  if (IsFuseType(fs_type) && answers_ntfs()) return StoreKind::Ntfs;
  return StoreKind::None;
}

std::string FsTypeForMagic(std::uint64_t magic) {
  switch (magic) {
    case 0xEF53: return "ext4";  // ext2, ext3 and ext4 share it
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0xF2F52010: return "f2fs";
    case 0x01021994: return "tmpfs";
    case 0x794C7630: return "overlay";
    case 0x4D44: return "vfat";
    case 0x2011BAB0: return "exfat";
    case 0x7366746E: return "ntfs3";
    case 0xFF534D42: return "cifs";
    case 0xFE534D42: return "smb3";
    case 0x65735546: return "fuse";
    default: return "";
  }
}

bool DosStoreMountedBelow(const std::vector<MountEntry>& mounts, const std::string& folder,
                          const std::function<bool(const MountEntry&)>& answers_ntfs) {
  std::string prefix = folder;
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  prefix += '/';
  for (const MountEntry& m : mounts) {
    if (m.MountPoint.size() <= prefix.size() || m.MountPoint.compare(0, prefix.size(), prefix) != 0)
      continue;
    // Samba's store counts only where values were written, which a mount
    // point does not tell.
    const StoreKind kind = ChooseStore(m.FsType, [&] { return answers_ntfs(m); });
    if (kind != StoreKind::None && kind != StoreKind::Samba) return true;
  }
  return false;
}

std::vector<DriveMount> ChooseDrives(const std::vector<MountEntry>& mounts,
                                     const std::function<DiskKind(const MountEntry&)>& disk_of,
                                     const std::function<bool(const MountEntry&)>& answers_ntfs) {
  std::vector<const MountEntry*> sorted;
  for (const MountEntry& m : mounts) sorted.push_back(&m);
  std::stable_sort(sorted.begin(), sorted.end(), [](const MountEntry* a, const MountEntry* b) {
    return a->MountPoint < b->MountPoint;
  });
  struct Pick {
    const MountEntry* Mount;
    DiskKind Kind;
  };
  std::vector<Pick> picks;
  for (const MountEntry* m : sorted) {
    // Cheap tests first: the probe of a FUSE mount costs a round trip.
    const bool dos_type =
        IsOneOf(m->FsType, {"vfat", "msdos", "exfat", "ntfs3", "ntfs"}) || IsFuseType(m->FsType);
    if (!dos_type) continue;
    const auto same = std::find_if(picks.begin(), picks.end(), [m](const Pick& p) {
      return p.Mount->Major == m->Major && p.Mount->Minor == m->Minor;
    });
    if (same != picks.end() && (same->Mount->Root == "/" || m->Root != "/")) continue;
    const DiskKind kind = disk_of(*m);
    if (kind == DiskKind::NoDisk) continue;
    if (IsFuseType(m->FsType) && !answers_ntfs(*m)) continue;
    if (same != picks.end())
      *same = {m, kind};
    else
      picks.push_back({m, kind});
  }
  std::sort(picks.begin(), picks.end(), [](const Pick& a, const Pick& b) {
    return a.Mount->MountPoint < b.Mount->MountPoint;
  });
  std::vector<DriveMount> drives;
  for (const Pick& p : picks) drives.push_back({p.Mount->MountPoint, p.Kind});
  return drives;
}

}  // namespace zavero::platform
