#include "platform/posix/mount_table.h"

#include <gtest/gtest.h>

namespace zavero::platform {
namespace {

// A machine with a system disk, a USB stick (also bound into a home folder),
// an NTFS disk and an exFAT stick through FUSE, an NTFS image, a share and /proc.
const char kMountInfo[] =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "40 22 8:17 / /media/my\\040stick rw,nosuid shared:20 master:3 - vfat /dev/sdb1 rw\n"
    "41 22 0:45 / /mnt/ntfs rw,relatime shared:21 - fuseblk /dev/sdc1 rw,user_id=0\n"
    "42 22 0:46 / /mnt/image rw - fuse /tmp/n.img rw\n"
    "43 22 0:47 / /mnt/exfat rw - fuseblk /dev/sdd1 rw\n"
    "44 22 0:48 / /srv/share rw - cifs //server/share rw\n"
    "45 22 8:17 /photos /home/u/photos rw - vfat /dev/sdb1 rw\n"
    "46 22 0:5 / /proc rw - proc proc rw\n"
    "not a mount line\n";

TEST(MountTable, ParsesMountInfoLinesWithEscapesAndOptionalFields) {
  const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
  ASSERT_EQ(mounts.size(), 8u);
  EXPECT_EQ(mounts[1].MountPoint, "/media/my stick");
  EXPECT_EQ(mounts[1].FsType, "vfat");
  EXPECT_EQ(mounts[2].Major, 0u);
  EXPECT_EQ(mounts[2].Minor, 45u);
  EXPECT_EQ(mounts[2].FsType, "fuseblk");
  EXPECT_EQ(mounts[2].Source, "/dev/sdc1");
  EXPECT_EQ(mounts[6].Root, "/photos");
  EXPECT_EQ(mounts[6].Major, 8u);
  EXPECT_EQ(mounts[6].Minor, 17u);
}

TEST(MountTable, ChoosesTheStoreByTypeAndProbesOnlyFuseMounts) {
  int probes = 0;
  auto answers = [&probes](bool result) {
    return [&probes, result] {
      ++probes;
      return result;
    };
  };
  EXPECT_EQ(ChooseStore("ext4", answers(true)), StoreKind::Samba);
  EXPECT_EQ(ChooseStore("ntfs3", answers(false)), StoreKind::Ntfs);
  EXPECT_EQ(ChooseStore("vfat", answers(true)), StoreKind::Fat);
  EXPECT_EQ(ChooseStore("cifs", answers(true)), StoreKind::Cifs);
  EXPECT_EQ(ChooseStore("nfs4", answers(true)), StoreKind::None);
  EXPECT_EQ(probes, 0);
  EXPECT_EQ(ChooseStore("fuseblk", answers(true)), StoreKind::Ntfs);   // ntfs-3g
  EXPECT_EQ(ChooseStore("fuseblk", answers(false)), StoreKind::None);  // exfat-fuse
  EXPECT_EQ(probes, 2);
}

TEST(MountTable, DrivesAreDosFileSystemsOnDisksOncePerVolumeInMountPointOrder) {
  const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
  auto disk_of = [](const MountEntry& m) {
    if (m.Source == "/dev/sdb1" || m.Source == "/dev/sdd1") return DiskKind::Removable;
    if (m.Source == "/dev/sda1" || m.Source == "/dev/sdc1") return DiskKind::Fixed;
    return DiskKind::NoDisk;
  };
  auto answers_ntfs = [](const MountEntry& m) { return m.MountPoint == "/mnt/ntfs"; };
  const std::vector<DriveMount> drives = ChooseDrives(mounts, disk_of, answers_ntfs);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].MountPoint, "/media/my stick");  // not the folder bound into /home
  EXPECT_EQ(drives[0].Kind, DiskKind::Removable);
  EXPECT_EQ(drives[1].MountPoint, "/mnt/ntfs");
  EXPECT_EQ(drives[1].Kind, DiskKind::Fixed);
}

TEST(MountTable, FindsFileSystemsWithDosAttributesMountedBelowAFolder) {
  const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
  auto answers_ntfs = [](const MountEntry& m) { return m.MountPoint == "/mnt/ntfs"; };
  EXPECT_TRUE(DosStoreMountedBelow(mounts, "/media/", answers_ntfs));  // the stick
  EXPECT_TRUE(DosStoreMountedBelow(mounts, "/", answers_ntfs));
  EXPECT_FALSE(DosStoreMountedBelow(mounts, "/med", answers_ntfs));          // a name, not a folder
  EXPECT_FALSE(DosStoreMountedBelow(mounts, "/media/my stick", answers_ntfs));  // itself
  auto none_answers = [](const MountEntry&) { return false; };
  EXPECT_FALSE(DosStoreMountedBelow(mounts, "/mnt", none_answers));  // exfat-fuse, an image
}

}  // namespace
}  // namespace zavero::platform
