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
  CallLog calls;
  FakeFiles files{calls};          // FileSystem and FileIo over one store
  FakeConsole console{calls};
  FakeDesktop desktop{calls};
  FakeProcess process{calls};
  platform::Machine machine{files, files, console, desktop, process};

  operator platform::Machine&() { return machine; }
};

}  // namespace zavero::fake
