// Runs the whole program on the fake machine up to its idle loop, and reads
// back what a user would see: the log's lines, the screen, the disk.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake/fake_machine.h"
#include "run/run_sequence.h"

namespace zavero::testing {

struct RunHarness {
  fake::FakeMachine m;
  std::unique_ptr<RunContext> run;

  RunHarness() {
    m.Files.AddDrive('C', platform::kDriveFixed);
    m.Files.AddFolder("C:\\Tools");
    m.Process.ModuleFileNameText = "C:\\Tools\\zavero.exe";
    m.Desktop.Answer = platform::kAnswerNo;
  }

  // Runs with the parameters after the program's name, up to the idle loop.
  void Run(const std::string& parameters) {
    m.Process.CommandLineText = "C:\\Tools\\zavero.exe " + parameters;
    m.Console.Writes.clear();
    m.Calls.Clear();
    m.Process.Pauses.clear();
    run = std::make_unique<RunContext>(m.Host);
    try {
      RunProgram(*run);
    } catch (const fake::IdleReached&) {
    }
  }

  // The log's lines; every line must end in CR LF and none may be empty.
  std::vector<std::string> LogLines(const std::string& path) const {
    std::string content = m.Files.Content(path);
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < content.size()) {
      std::size_t end = content.find("\r\n", at);
      if (end == std::string::npos) {
        ADD_FAILURE() << "log ends without CR LF: " << content.substr(at);
        break;
      }
      std::string line = content.substr(at, end - at);
      EXPECT_FALSE(line.empty()) << "empty log line";
      EXPECT_EQ(line.find('\n'), std::string::npos) << "bare LF in " << line;
      lines.push_back(line);
      at = end + 2;
    }
    return lines;
  }

  std::vector<std::string> Matches() const {
    std::vector<std::string> out;
    auto& list = run->MatchList;
    auto* e = list.MoveFirst();
    for (int i = 0; i < list.Count() && e; ++i, e = list.MoveNext()) out.push_back(e->Text());
    return out;
  }

  // The folders the walk showed on row 3, in order.
  std::vector<std::string> WalkedFolders() const {
    std::vector<std::string> out;
    const std::string prefix = " scanning folder ";
    for (const auto& w : m.Console.Writes) {
      if (w.Bytes.compare(0, prefix.size(), prefix) != 0) continue;
      std::string folder = w.Bytes.substr(prefix.size());
      folder.erase(folder.find_last_not_of(' ') + 1);
      out.push_back(folder);
    }
    return out;
  }
};

}  // namespace zavero::testing
