#include "platform/posix/held_folders.h"

#include <gtest/gtest.h>

namespace zavero::platform {

// The walks of a drive and of one mounted inside it both list the inner one's entries.
TEST(HeldFolders, TellsEntriesOfADriveMountedInsideAnother) {
  HeldFolders held;
  for (const char* drive : {"/media/a", "/media/a/usb", "/media/b"}) held.DeclareRoot(drive);
  EXPECT_TRUE(held.InSeveralRoots("/media/a/usb/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/a/usb2/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/b/x.txt"));
}

}  // namespace zavero::platform
