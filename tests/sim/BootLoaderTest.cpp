#include "sim/BootLoader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool Erase(sim::BootLoader& boot) {
    const std::vector<uint8_t> command = {0x32, 0x74};
    return boot.Write(2, command);
}

} // namespace

TEST(BootLoader, AWornOutFlashRefusesEveryEraseFromTheChosenOne) {
    struct Case {
        int refuseFrom;
        std::vector<bool> accepted; // five erases in a row
    };
    const Case cases[] = {
        {0, {true, true, true, true, true}},
        {1, {false, false, false, false, false}},
        {4, {true, true, true, false, false}},
    };
    for (const Case& c : cases) {
        sim::BootLoader boot;
        boot.config.refuseEraseFrom = c.refuseFrom;
        std::vector<bool> accepted;
        for (int i = 0; i < 5; ++i) {
            accepted.push_back(Erase(boot));
        }
        EXPECT_EQ(accepted, c.accepted) << "refuse from " << c.refuseFrom;
        const int expectedErases = c.refuseFrom == 0 ? 5 : c.refuseFrom - 1;
        EXPECT_EQ(boot.Erases(), expectedErases) << "refuse from " << c.refuseFrom;
    }
}
