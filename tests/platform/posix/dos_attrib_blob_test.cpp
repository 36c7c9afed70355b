#include "platform/posix/dos_attrib_blob.h"

#include <gtest/gtest.h>

#include "platform/posix/dos_attrib_rows.h"
#include "platform/posix/posix_test_util.h"

namespace zavero::platform {
namespace {

using testing::DosAttribRowOf;
using testing::Hex;
using testing::kDosAttribRows;

TEST(DosAttribBlob, ReadsEachFormAndEditsItIntoWhatSambaWouldPack) {
  for (const auto& row : kDosAttribRows) {
    SCOPED_TRACE(row.Form);
    std::uint32_t word = 0;
    ASSERT_TRUE(ReadDosAttrib(row.Before, &word));
    EXPECT_EQ(word, row.OldWord);
    std::string value = row.Before;
    ASSERT_TRUE(EditDosAttrib(value, row.NewWord));
    EXPECT_EQ(Hex(value), Hex(row.After));
  }
}

TEST(DosAttribBlob, ValuesInNoKnownFormCarryNoWordAndAreNeverRewritten) {
  const std::string v4 = DosAttribRowOf("version 4").Before;
  std::string version2 = v4, mismatch = v4;
  version2[2] = version2[4] = 2;  // version 2 has a name of its own length: not handled
  mismatch[4] = 5;                // version 4 with the switch of version 5
  const std::string values[] = {
      "",
      "hello",
      "0x",
      std::string("0x22\0\0", 6),
      "22",
      "0x123456789",
      v4.substr(0, 20),  // cut short
      version2,
      mismatch,
  };
  for (const std::string& value : values) {
    SCOPED_TRACE(Hex(value));
    std::uint32_t word = 0;
    EXPECT_FALSE(ReadDosAttrib(value, &word));
    std::string copy = value;
    EXPECT_FALSE(EditDosAttrib(copy, 0));
    EXPECT_EQ(copy, value);
  }
}

}  // namespace
}  // namespace zavero::platform
