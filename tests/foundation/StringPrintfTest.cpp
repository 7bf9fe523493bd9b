#include "foundation/StringPrintf.h"

#include <gtest/gtest.h>

#include <string>

// Short texts come from the stack buffer, long ones are formatted again at
// their full length: neither may be cut or lose its tail.
TEST(StringPrintf, FormatsTextsOfAnyLengthWhole) {
    EXPECT_EQ(StringPrintf("%d %s %.2f", -7, "rpm", 2.345), "-7 rpm 2.35");
    EXPECT_EQ(StringPrintf("%s", ""), "");
    const std::string edge(255, 'a'); // the last length the buffer holds
    EXPECT_EQ(StringPrintf("%s", edge.c_str()), edge);
    const std::string longer(1000, 'b');
    const std::string out = StringPrintf("[%s|%d]", longer.c_str(), 42);
    EXPECT_EQ(out, "[" + longer + "|42]");
}
