// The POSIX file system of the seam on real files of this machine's disk,
// with attributes in Samba's store (user.DOSATTRIB) in every form, set with
// setfattr and checked with getfattr.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "platform/posix/dos_attrib_rows.h"
#include "platform/machine.h"
#include "platform/posix/posix_test_util.h"

namespace zavero::platform {
namespace {

using testing::DosAttribRowOf;
using testing::GetXattrHex;
using testing::Hex;
using testing::SetXattr;
using testing::Shell;
using testing::TempFolder;

constexpr const char* kName = "user.DOSATTRIB";

// Every entry of one listing, name to word.
std::map<std::string, std::uint32_t> List(const std::string& search) {
  std::map<std::string, std::uint32_t> found;
  FileSystem& files = RealFileSystem();
  FindEntry entry;
  std::uint32_t error = 0;
  const Handle find = files.FindFirstEntry(search.c_str(), &entry, &error);
  if (find == kInvalidHandle) return found;
  do found[entry.Name] = entry.Attributes;
  while (files.FindNextEntry(find, &entry, &error));
  files.EndFind(find);
  return found;
}

class SambaStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    Shell("cd " + testing::Quote(tmp_.path()) +
          " && mkdir folder plain && touch wine v3 v5 none && ln -s folder link");
    if (!SetXattr(tmp_ / "wine", kName, DosAttribRowOf("text as Wine writes it").Before))
      GTEST_SKIP() << "no user extended attributes on " << tmp_.path();
    ASSERT_TRUE(SetXattr(tmp_ / "v3", kName, DosAttribRowOf("version 3").Before));
    ASSERT_TRUE(SetXattr(tmp_ / "v5", kName, DosAttribRowOf("version 5").Before));
    ASSERT_TRUE(SetXattr(tmp_ / "folder", kName, DosAttribRowOf("version 4").Before));
  }

  TempFolder tmp_;
};

TEST_F(SambaStore, ListingsCarryEachFormsWordAndTheTypeBits) {
  const auto all = List(tmp_ / "*");
  EXPECT_EQ(all, (std::map<std::string, std::uint32_t>{
                     {"wine", 0x22},
                     {"v3", 0x26},
                     {"v5", 0x23},
                     {"none", 0},
                     {"folder", 0x12},
                     {"plain", kAttrDirectory},
                     {"link", kAttrReparsePoint},  // never followed, never a folder
                 }));
  EXPECT_EQ(List(tmp_ / "V*"), (std::map<std::string, std::uint32_t>{{"v3", 0x26}, {"v5", 0x23}}));
  std::uint32_t error = 0;
  FindEntry entry;
  EXPECT_EQ(RealFileSystem().FindFirstEntry((tmp_ / "*.doc").c_str(), &entry, &error),
            kInvalidHandle);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(RealFileSystem().FindFirstEntry((tmp_ / "missing/*").c_str(), &entry, &error),
            kInvalidHandle);
  EXPECT_NE(error, kErrorFileNotFound);
}

TEST_F(SambaStore, WritesChangeOnlyTheWordInTheFormFound) {
  FileSystem& files = RealFileSystem();
  ASSERT_TRUE(files.WriteAttributes((tmp_ / "v3").c_str(), 0x24));
  EXPECT_EQ(GetXattrHex(tmp_ / "v3", kName), Hex(DosAttribRowOf("version 3").After));
  ASSERT_TRUE(files.WriteAttributes((tmp_ / "wine").c_str(), 0x20));
  EXPECT_EQ(GetXattrHex(tmp_ / "wine", kName), Hex("0x20"));
  // The folder bit the caller sees is the folder's type, not a stored bit:
  // the stored word keeps its own.
  ASSERT_TRUE(files.WriteAttributes((tmp_ / "folder").c_str(), kAttrDirectory));
  EXPECT_EQ(GetXattrHex(tmp_ / "folder", kName), Hex(DosAttribRowOf("version 4").After));
  EXPECT_EQ(files.ReadAttributes((tmp_ / "folder").c_str()), kAttrDirectory);
  // An entry without a value gets Wine's text, and only when a bit is set.
  ASSERT_TRUE(files.WriteAttributes((tmp_ / "none").c_str(), 0));
  EXPECT_EQ(GetXattrHex(tmp_ / "none", kName), "");
  ASSERT_TRUE(files.WriteAttributes((tmp_ / "none").c_str(), kAttrHidden));
  EXPECT_EQ(GetXattrHex(tmp_ / "none", kName), Hex("0x2"));
  EXPECT_EQ(files.ReadAttributes((tmp_ / "none").c_str()), kAttrHidden);
}

TEST_F(SambaStore, RefusedAndGarbledWritesFailAndKeepTheValue) {
  FileSystem& files = RealFileSystem();
  Shell("chattr +i " + testing::Quote(tmp_ / "v5"));
  EXPECT_FALSE(files.WriteAttributes((tmp_ / "v5").c_str(), 0x21));
  EXPECT_EQ(GetXattrHex(tmp_ / "v5", kName), Hex(DosAttribRowOf("version 5").Before));

  ASSERT_TRUE(SetXattr(tmp_ / "wine", kName, "garbled"));
  EXPECT_EQ(files.ReadAttributes((tmp_ / "wine").c_str()), 0u);
  EXPECT_FALSE(files.WriteAttributes((tmp_ / "wine").c_str(), kAttrHidden));
  EXPECT_EQ(GetXattrHex(tmp_ / "wine", kName), Hex("garbled"));
  EXPECT_EQ(files.ReadAttributes((tmp_ / "gone").c_str()), kInvalidAttributes);
}

TEST_F(SambaStore, KeepsAttributesOnlyWhereTheStoreWasWritten) {
  FileSystem& files = RealFileSystem();
  EXPECT_TRUE(files.KeepsAttributes(tmp_.path().c_str()));        // entries carry values
  EXPECT_TRUE(files.KeepsAttributes((tmp_ / "folder").c_str()));  // the folder itself does
  EXPECT_FALSE(files.KeepsAttributes((tmp_ / "plain").c_str()));
}

// The walk lists a folder twice in a row; the second listing must not ask
// the file system again, and nothing later may see an old reading.
TEST_F(SambaStore, TheListingRightAfterAReadingReusesItOnce) {
  EXPECT_EQ(List(tmp_ / "*")["wine"], 0x22u);
  ASSERT_TRUE(SetXattr(tmp_ / "wine", kName, "0x26"));  // behind the program's back
  EXPECT_EQ(List(tmp_ / "w*")["wine"], 0x22u);          // the first reading, reused
  EXPECT_EQ(List(tmp_ / "w*")["wine"], 0x26u);          // read anew

  EXPECT_EQ(List(tmp_ / "*")["v3"], 0x26u);
  ASSERT_TRUE(RealFileSystem().WriteAttributes((tmp_ / "v3").c_str(), 0x24));
  EXPECT_EQ(List(tmp_ / "v*")["v3"], 0x24u);  // a write ends the reuse
}

TEST(PosixFileIo, DispositionsMapToOpenFlags) {
  TempFolder tmp;
  FileIo& io = RealFileIo();
  const std::string path = tmp / "log.txt";
  std::uint32_t written = 0, high = 7;
  Handle h = io.OpenFile(path.c_str(), kGenericRead | kGenericWrite, kShareRead,
                         kCreateAlways, kAttrNormal);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_TRUE(io.WriteBytes(h, "abc", 3, &written));
  io.CloseFile(h);
  h = io.OpenFile(path.c_str(), kGenericRead | kGenericWrite, kShareRead,
                  kOpenAlways, kAttrNormal);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(io.FileSize(h, &high), 3u);
  EXPECT_EQ(high, 0u);
  std::int32_t seek_high = 0;
  io.SeekFromStart(h, 3, &seek_high);
  EXPECT_TRUE(io.WriteBytes(h, "de", 2, &written));
  io.CloseFile(h);
  EXPECT_EQ(Shell("cat " + testing::Quote(path)), "abcde");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);

  h = io.OpenFile(path.c_str(), kGenericWrite, kShareRead, kTruncateExisting, 0);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(io.FileSize(h, &high), 0u);
  io.CloseFile(h);
  EXPECT_EQ(io.OpenFile((tmp / "missing").c_str(), kGenericWrite, kShareRead,
                        kTruncateExisting, 0),
            kInvalidHandle);
}

}  // namespace
}  // namespace zavero::platform
