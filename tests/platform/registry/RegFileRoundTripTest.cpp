// Writing generated trees and reading them back gives the same bytes.

#include <gtest/gtest.h>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"

using namespace win;
using regfiletest::Describe;

namespace {

TEST(RegFileRoundTrip, GeneratedTreesReadBackExactly) {
  for (RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
      SCOPED_TRACE(testing::Message() << (format == RegFileFormat::Version5 ? "version 5" : "REGEDIT4")
                                      << " seed " << seed);
      const RegFileContent content = regfiletest::TreeGenerator(seed, format).Generate(6);
      RegFileContent back;
      std::string error;
      ASSERT_TRUE(ParseRegFile(FormatRegFile(content, 1252), "r.reg", 1252, back, error)) << error;
      EXPECT_EQ(back.format, format);
      ASSERT_EQ(Describe(back), Describe(content));
    }
  }
}

}  // namespace
