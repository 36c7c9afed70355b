// The fake machine's record of every platform call, in order, so a test can
// assert sequences such as "open, size, seek, write, close" for one log line.
#pragma once

#include <string>
#include <vector>

namespace zavero::fake {

class CallLog {
 public:
  // Records one call: its seam method name and, optionally, its main argument.
  void Add(std::string name, std::string detail = {}) {
    if (enabled_) calls_.push_back({std::move(name), std::move(detail)});
  }
  struct Call {
    std::string Name;
    std::string Detail;
  };
  const std::vector<Call>& Calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  // Stops recording (for large runs where the record is not wanted).
  void SetEnabled(bool on) { enabled_ = on; }

  // The names of the recorded calls, optionally only those in `only`.
  std::vector<std::string> Names(const std::vector<std::string>& only = {}) const {
    std::vector<std::string> out;
    for (const auto& c : calls_) {
      bool keep = only.empty();
      for (const auto& o : only) keep = keep || c.Name == o;
      if (keep) out.push_back(c.Name);
    }
    return out;
  }
  // How many calls carry this name.
  int Count(const std::string& name) const {
    int n = 0;
    for (const auto& c : calls_) n += c.Name == name;
    return n;
  }

 private:
  std::vector<Call> calls_;
  bool enabled_ = true;
};

}  // namespace zavero::fake
