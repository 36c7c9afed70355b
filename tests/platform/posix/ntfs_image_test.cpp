// The POSIX file system of the seam on an NTFS volume through ntfs-3g (FUSE):
// an image made with mkntfs, the attribute word set and checked with
// setfattr / getfattr on system.ntfs_attrib_be. Skipped where FUSE or the
// NTFS tools are missing (tools/setup installs ntfs-3g, fuse3 and attr).
#include <gtest/gtest.h>

#include <map>

#include "platform/machine.h"
#include "platform/posix/posix_test_util.h"

namespace zavero::platform {
namespace {

using testing::GetXattrHex;
using testing::Quote;
using testing::SetXattr;
using testing::Shell;
using testing::TempFolder;

constexpr const char* kName = "system.ntfs_attrib_be";

std::string BigEndian(std::uint32_t word) {
  return {static_cast<char>(word >> 24), static_cast<char>(word >> 16),
          static_cast<char>(word >> 8), static_cast<char>(word)};
}

class NtfsImage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    mount_ = tmp_ / "mnt";
    int status = 0;
    const std::string log = Shell("cd " + Quote(tmp_.path()) +
                                      " && mkdir mnt && truncate -s 32M n.img"
                                      " && mkntfs -F -f -q n.img 2>&1 && ntfs-3g n.img mnt 2>&1",
                                  &status);
    if (status != 0) GTEST_SKIP() << "no NTFS volume through FUSE here: " << log;
    mounted_ = true;
    // Files with contents: ntfs-3g shows an empty file with the system bit
    // as a FIFO (Interix's convention); the last test is about those.
    Shell("cd " + Quote(mount_) +
          " && mkdir hidden && for f in hs ro plain; do echo data >$f.txt; done && touch fifo");
    ASSERT_TRUE(SetXattr(mount_ + "/hidden", kName, BigEndian(0x12)));
    ASSERT_TRUE(SetXattr(mount_ + "/hs.txt", kName, BigEndian(0x26)));
    ASSERT_TRUE(SetXattr(mount_ + "/ro.txt", kName, BigEndian(0x21)));
  }
  void TearDown() override {
    // Lazily: the file system side holds the folders it walked until the process ends.
    if (mounted_) Shell("umount -l " + Quote(mount_) + " 2>&1");
  }

  TempFolder tmp_;
  std::string mount_;
  bool mounted_ = false;
};

TEST_F(NtfsImage, ReadsAndClearsTheWordKeepingFoldersFolders) {
  FileSystem& files = RealFileSystem();
  EXPECT_TRUE(files.KeepsAttributes(mount_.c_str()));  // the FUSE probe found ntfs-3g
  FindEntry entry;
  std::uint32_t error = 0;
  const Handle find = files.FindFirstEntry((mount_ + "/h*").c_str(), &entry, &error);
  ASSERT_NE(find, kInvalidHandle);
  std::map<std::string, std::uint32_t> listed;
  do listed[entry.Name] = entry.Attributes;
  while (files.FindNextEntry(find, &entry, &error));
  files.EndFind(find);
  EXPECT_EQ(listed, (std::map<std::string, std::uint32_t>{{"hidden", 0x12}, {"hs.txt", 0x26}}));
  EXPECT_EQ(files.ReadAttributes((mount_ + "/ro.txt").c_str()), 0x21u);

  ASSERT_TRUE(files.WriteAttributes((mount_ + "/hs.txt").c_str(), 0x24));
  EXPECT_EQ(GetXattrHex(mount_ + "/hs.txt", kName), "00000024");
  ASSERT_TRUE(files.WriteAttributes((mount_ + "/hidden").c_str(), kAttrDirectory));
  EXPECT_EQ(GetXattrHex(mount_ + "/hidden", kName), "00000010");
  EXPECT_EQ(files.ReadAttributes((mount_ + "/hidden").c_str()), kAttrDirectory);
  // A file left without bits reads back as "normal", which the layers above
  // take for none.
  ASSERT_TRUE(files.WriteAttributes((mount_ + "/plain.txt").c_str(), 0));
  EXPECT_EQ(files.ReadAttributes((mount_ + "/plain.txt").c_str()), kAttrNormal);
}

// ntfs-3g turns an empty file with the system bit into a FIFO when it next
// looks the file up; the kernel's FUSE fails the first look at the old inode
// after such a change with EIO. The check that follows a write must still
// read the word.
TEST_F(NtfsImage, RereadsAnEntryWhoseTypeTheWriteChanged) {
  FileSystem& files = RealFileSystem();
  const std::string fifo = mount_ + "/fifo";
  ASSERT_TRUE(files.WriteAttributes(fifo.c_str(), 0x26));
  ASSERT_TRUE(files.WriteAttributes(fifo.c_str(), 0x24));
  EXPECT_EQ(files.ReadAttributes(fifo.c_str()), 0x24u);
}

}  // namespace
}  // namespace zavero::platform
