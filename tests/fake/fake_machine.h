// The in-memory machine the unit tests run the program on. It composes one
// fake per seam interface; all of them record into one CallLog.
#pragma once

#include "fake/call_log.h"
#include "fake/fake_console.h"
#include "fake/fake_desktop.h"
#include "fake/fake_files.h"
#include "fake/fake_process.h"
#include "platform/machine.h"

namespace zavero::fake {

struct FakeMachine {
  CallLog Calls;
  FakeFiles Files{Calls};          // FileSystem and FileIo over one store
  FakeConsole Console{Calls};
  FakeDesktop Desktop{Calls};
  FakeProcess Process{Calls};
  platform::Machine Host{Files, Files, Console, Desktop, Process};

  operator platform::Machine&() { return Host; }
};

}  // namespace zavero::fake
