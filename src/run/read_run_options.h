// Reading the run's settings: the command line split by this program's own
// rules, the defaults and the normalisation, and the two text operations the
// parameters need first (the folder part of a path, numbers in four
// notations).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/machine.h"
#include "state/run_options.h"

namespace zavero {

// Parameter `index` (0 = the first after the program's name) of the command
// line, split by this program's own rules: blanks separate, a token that
// starts with a double quote runs to the next one, no escapes. Missing
// parameters are empty.
std::string GetRunParameter(const char* commandLine, int index);

// The folder of the program's own file, "\\?\" prefix removed, ending in "\".
std::string GetProgramFolder(platform::Process& process);

// The folder part of a path up to and including its last separator (before a
// first "|"); a leading double quote is left out. Empty when there is none.
// With the separator "\" a "/" counts as one too; with "/" only "/" does.
std::string FolderPart(const std::string& path, char separator = '\\');

// A number in decimal, "$" or "0x" hexadecimal or "%" base-2 notation, with optional
// leading blanks/tabs and sign; stops at the first non-digit; wraps modulo
// 2^64; 0 when there are no digits.
std::int64_t ParseNumber(const char* text);

// Reads all eight parameters from the process's command line.
RunOptions ReadRunOptions(platform::Process& process);

// The same on a platform with its own conventions: where the platform hands
// the arguments over one by one they are taken as they are, and in a
// Unix-style run a log path without a folder is taken from the current folder
// rather than placed beside the program.
RunOptions ReadRunOptions(platform::Process& process, const platform::Conventions& conventions);

// ReadRunOptions in its two steps: the eight parameters as given (the
// options a Unix-style run read before them left out), then the record made
// from them by the defaults and normalisation rules.
using RunParameters = std::array<std::string, 8>;
RunParameters ReadRunParameters(platform::Process& process,
                                const platform::Conventions& conventions);
RunOptions RunOptionsFrom(const RunParameters& parameters, platform::Process& process,
                          const platform::Conventions& conventions);

// What the option of a Unix-style run asks for. Only the first argument can
// be one: "--version" / "-V", "--help" / "-h", or "--", which says that the
// parameters follow, so that the first of them may start with "-". Any other
// first argument starting with "-" is refused.
enum class OptionRequest { Run, Version, Help, UnknownOption };
struct UnixOptions {
  OptionRequest Request = OptionRequest::Run;
  int FirstParameter = 1;  // the index in argv of parameter 0
  std::string Option;      // the refused option
};
UnixOptions ReadUnixOptions(const char* const* argv);

// A Windows run takes no options, but a first parameter that asks for the
// usage ("/?", "-?", "-h", "--help") or the version ("-V", "--version") with
// no other parameter after it is a question, never the mode of a run over
// every drive.
OptionRequest ReadWindowsOption(const RunParameters& parameters);

// Parameter `index` (0 = the first after the program's name): from the
// platform's argument list where it gives one, else split from the command
// line by GetRunParameter.
std::string RunParameterOfProcess(platform::Process& process, int index);

}  // namespace zavero
