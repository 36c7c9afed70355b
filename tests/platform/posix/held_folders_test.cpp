#include "platform/posix/held_folders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zavero::platform {

// The walks of a drive and of one mounted inside it both list the inner one's entries.
TEST(HeldFolders, TellsEntriesOfADriveMountedInsideAnother) {
  HeldFolders held;
  for (const char* drive : {"/media/a", "/media/a/usb", "/media/b"}) held.DeclareRoot(drive);
  EXPECT_TRUE(held.InSeveralRoots("/media/a/usb/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/a/usb2/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/b/x.txt"));
}

TEST(HeldFolders, FindsAnEntryTheRootsListingRecorded) {
  HeldFolders held;
  Identity id;
  const int fd = open("/tmp", O_PATH | O_CLOEXEC);
  ASSERT_TRUE(ReadIdentity(fd, &id) && close(fd) == 0);
  held.Record("/", "tmp", id, true);
  bool listed = false;
  const int found = held.Entry("/tmp", &listed, &id);
  EXPECT_TRUE(listed && found >= 0 && close(found) == 0);
}

}  // namespace zavero::platform
