#include "support/buffered_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "fake/fake_files.h"

namespace zavero::support {
namespace {

using Sizes = std::vector<std::uint32_t>;

constexpr const char* kLog = "C:\\logs\\scan.log";
const std::string kReadWrite = "3221225472|1";  // GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ

class BufferedFileTest : public ::testing::Test {
 protected:
  BufferedFileTest() {
    disk_.AddDrive('C', 3);
    disk_.AddFolder("C:\\logs");
  }
  std::vector<std::string> Details(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& call : calls_.Calls())
      if (call.Name == name) out.push_back(call.Detail);
    return out;
  }

  fake::CallLog calls_;
  fake::FakeFiles disk_{calls_};
  BufferedFiles files_{disk_};
};

TEST_F(BufferedFileTest, CreateEmptiesAFileAndFallsBackToTruncatingAHiddenOne) {
  disk_.AddFile(kLog, 0x20, "old line\r\n");
  files_.Close(files_.Create(kLog));
  EXPECT_EQ(disk_.Content(kLog), "");
  disk_.AddFile(kLog, 0x22, "old line\r\n");  // CREATE_ALWAYS refuses a hidden file
  const std::uint32_t handle = files_.Create(kLog);
  ASSERT_TRUE(files_.IsOpen(handle));
  EXPECT_EQ(files_.Length(handle), 0);
  EXPECT_EQ(Details("OpenFile"),
            (std::vector<std::string>{std::string(kLog) + "|" + kReadWrite + "|2|128",
                                      std::string(kLog) + "|" + kReadWrite + "|2|128",
                                      std::string(kLog) + "|1073741824|1|5|0"}));
}

TEST_F(BufferedFileTest, FailedOpeningsAndClosedHandlesNameNothing) {
  EXPECT_EQ(files_.Create("C:\\missing\\scan.log"), 0u);
  EXPECT_EQ(files_.Open("C:\\missing\\scan.log"), 0u);
  disk_.AddFile("C:\\logs\\readonly.log", 0x21);
  EXPECT_EQ(files_.Create("C:\\logs\\readonly.log"), 0u);
  EXPECT_EQ(disk_.open_files(), 0);

  const std::uint32_t first = files_.Create(kLog);
  files_.Close(first);
  calls_.Clear();
  for (const std::uint32_t stale : {first, 0u}) {
    EXPECT_FALSE(files_.IsOpen(stale));
    EXPECT_EQ(files_.WriteLine(stale, "lost"), 0);
    EXPECT_EQ(files_.Length(stale), -1);
    files_.Seek(stale, 0);
    files_.Close(stale);
  }
  files_.CloseAll();
  EXPECT_TRUE(calls_.Calls().empty());
  // The next opening gets a new number, so the stale one still names nothing.
  const std::uint32_t second = files_.Open(kLog);
  EXPECT_NE(second, first);
  EXPECT_FALSE(files_.IsOpen(first));
}

TEST_F(BufferedFileTest, HeaderBurstReachesTheFileInOneWriteAtClose) {
  const std::uint32_t handle = files_.Create(kLog);
  EXPECT_EQ(files_.WriteLine(handle, "QOR_ZAVERO has been started..."), 32);
  EXPECT_EQ(files_.WriteLine(handle, ""), 2);
  EXPECT_EQ(files_.WriteLine(handle, std::string("skip attributes: $4")), 21);
  EXPECT_TRUE(disk_.WriteSizes.empty());
  files_.Close(handle);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{55}));
  EXPECT_EQ(disk_.Content(kLog), "QOR_ZAVERO has been started...\r\n\r\nskip attributes: $4\r\n");
  EXPECT_EQ(disk_.open_files(), 0);
}

TEST_F(BufferedFileTest, AppendedLineFollowsTheOldOneInOneWrite) {
  disk_.AddFile(kLog, 0x20, "first\r\n");
  calls_.Clear();
  const std::uint32_t handle = files_.Open(kLog);
  ASSERT_TRUE(files_.IsOpen(handle));
  files_.Seek(handle, files_.Length(handle));
  EXPECT_EQ(files_.WriteLine(handle, "second"), 8);
  EXPECT_EQ(files_.Length(handle), 15);  // the pending line counts
  files_.Close(handle);
  EXPECT_EQ(disk_.Content(kLog), "first\r\nsecond\r\n");
  EXPECT_EQ(calls_.Names(), (std::vector<std::string>{"OpenFile", "FileSize", "SeekFromStart",
                                                      "WriteBytes", "FileSize", "CloseFile"}));
  EXPECT_EQ(Details("OpenFile")[0], std::string(kLog) + "|" + kReadWrite + "|4|128");
  EXPECT_EQ(Details("SeekFromStart"), (std::vector<std::string>{"7|0"}));
}

TEST_F(BufferedFileTest, TextsOfABufferOrMoreGoStraightThroughInOrder) {
  const std::string big(5000, 'x');
  const std::uint32_t handle = files_.Create(kLog);
  files_.WriteLine(handle, "head");
  EXPECT_EQ(files_.WriteLine(handle, big), 5002);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{6, 5000}));  // pending first, then the text whole
  // Exactly a buffer's worth, nothing pending: straight through as well.
  files_.WriteLine(handle, std::string(4096, 'y'));
  files_.Close(handle);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{6, 5000, 2, 4096, 2}));  // CR LF waited each time
  EXPECT_EQ(disk_.Content(kLog), "head\r\n" + big + "\r\n" + std::string(4096, 'y') + "\r\n");
}

TEST_F(BufferedFileTest, BufferNeverFillsUpCompletely) {
  const std::uint32_t handle = files_.Create(kLog);
  files_.WriteLine(handle, std::string(4093, 'a'));  // 4095 pending, 1 free
  EXPECT_TRUE(disk_.WriteSizes.empty());
  files_.WriteLine(handle, "z");  // 1 byte into 1 byte of room: flush first
  EXPECT_EQ(disk_.WriteSizes, (Sizes{4095}));
  files_.WriteLine(handle, std::string(4088, 'b'));  // 4093 pending, 3 free
  files_.WriteLine(handle, "");                       // so CR LF still fits
  EXPECT_EQ(disk_.WriteSizes, (Sizes{4095}));
  files_.Close(handle);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{4095, 4095}));
  EXPECT_EQ(disk_.Content(kLog),
            std::string(4093, 'a') + "\r\nz\r\n" + std::string(4088, 'b') + "\r\n\r\n");
}

TEST_F(BufferedFileTest, LengthsAndPositionsBeyond4GiBKeepAll64Bits) {
  const std::uint64_t five_gib = 5ull << 30;
  disk_.AddFile(kLog, 0x20, "tail\r\n");
  disk_.SetSparsePrefix(kLog, five_gib);
  const std::uint32_t handle = files_.Open(kLog);
  const std::int64_t length = files_.Length(handle);
  EXPECT_EQ(length, static_cast<std::int64_t>(five_gib + 6));
  files_.Seek(handle, length);
  EXPECT_EQ(Details("SeekFromStart"), (std::vector<std::string>{"1073741830|1"}));
  files_.WriteLine(handle, "more");
  files_.Close(handle);
  EXPECT_EQ(disk_.Content(kLog), "tail\r\nmore\r\n");
}

TEST_F(BufferedFileTest, CloseAllAndDestructionWriteOutEveryOpenFile) {
  const std::uint32_t a = files_.Create("C:\\logs\\a.log");
  const std::uint32_t b = files_.Create("C:\\logs\\b.log");
  ASSERT_NE(a, b);
  files_.WriteLine(a, "to a");
  files_.WriteLine(b, "to b");
  files_.WriteLine(a, "again a");
  files_.CloseAll();
  EXPECT_EQ(disk_.Content("C:\\logs\\a.log"), "to a\r\nagain a\r\n");
  EXPECT_EQ(disk_.Content("C:\\logs\\b.log"), "to b\r\n");
  EXPECT_FALSE(files_.IsOpen(a) || files_.IsOpen(b));
  {
    BufferedFiles scoped(disk_);
    scoped.WriteLine(scoped.Open(kLog), "pending");
  }
  EXPECT_EQ(disk_.Content(kLog), "pending\r\n");
  EXPECT_EQ(disk_.open_files(), 0);
}

// A set of files that never gets buffer memory.
class UnbufferedFiles : public BufferedFiles {
 public:
  using BufferedFiles::BufferedFiles;

 protected:
  char* TakeBuffer() override { return nullptr; }
};

TEST_F(BufferedFileTest, WithoutBufferMemoryEveryWriteGoesStraightOut) {
  UnbufferedFiles files(disk_);
  const std::uint32_t handle = files.Create(kLog);
  ASSERT_TRUE(files.IsOpen(handle));
  EXPECT_EQ(files.WriteLine(handle, "abc"), 5);
  EXPECT_EQ(files.WriteLine(handle, ""), 2);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{3, 2, 2}));
  files.Close(handle);
  EXPECT_EQ(disk_.WriteSizes, (Sizes{3, 2, 2}));
  EXPECT_EQ(disk_.Content(kLog), "abc\r\n\r\n");
}

TEST_F(BufferedFileTest, ShortWritesAreNotDetected) {
  disk_.WriteLimit = 3;
  const std::uint32_t handle = files_.Create(kLog);
  EXPECT_EQ(files_.WriteLine(handle, "abcdef"), 8);
  files_.Close(handle);
  EXPECT_EQ(disk_.Content(kLog), "abc");
}

}  // namespace
}  // namespace zavero::support
