#include "platform/posix/held_folders.h"

#include <gtest/gtest.h>

namespace zavero::platform {
namespace {

// An entry of a drive mounted inside another is listed by the walks of both,
// so a write to it must leave its new identity behind for the second.
TEST(HeldFolders, TellsEntriesOfADriveMountedInsideAnother) {
  HeldFolders held;
  for (const char* drive : {"/media/a", "/media/a/usb", "/media/b"}) held.DeclareRoot(drive);
  EXPECT_TRUE(held.InSeveralRoots("/media/a/usb/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/a/usb2/x.txt"));
  EXPECT_FALSE(held.InSeveralRoots("/media/b/x.txt"));
}

}  // namespace
}  // namespace zavero::platform
