// zavero: makes hidden files and folders visible again.
#include <memory>

#include "platform/machine.h"
#include "run/run_sequence.h"
#include "support/text.h"

int main(int argc, char** argv) {
  zavero::platform::RestrictLibrarySearch();
  zavero::platform::SetArguments(argc, argv);
  zavero::support::SetTextUpperRule(zavero::platform::UpperCaseAnsi);
  // The run state lives for the whole process; the heap keeps the stack small.
  auto* run = new zavero::RunContext(zavero::platform::RealMachine());
  zavero::RunProgram(*run);
}
