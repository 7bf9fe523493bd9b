#include "cli/EcuCommands.h"
#include "cli/ParameterNames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(ParameterNames, EveryTextIdHasOneNameThatFindsItBack) {
    std::set<std::string> names;
    for (int id = 1; id <= 79; ++id) {
        const std::string name(cli::ParameterName(id));
        ASSERT_FALSE(name.empty()) << id;
        EXPECT_TRUE(names.insert(name).second) << name;
        const auto ref = cli::FindParameter(name);
        ASSERT_TRUE(ref.has_value()) << name;
        EXPECT_FALSE(ref->extra);
        EXPECT_EQ(ref->textId, id);
        const auto byNumber = cli::FindParameter(std::to_string(id));
        ASSERT_TRUE(byNumber.has_value());
        EXPECT_EQ(byNumber->textId, id);
    }
    EXPECT_EQ(cli::ParameterName(0), "");
    EXPECT_EQ(cli::ParameterName(80), "");
    EXPECT_EQ(cli::ParameterName(13), "max-egt");
    EXPECT_EQ(cli::ParameterName(8), "telemetry-baud");
}

TEST(ParameterNames, LookupIgnoresCaseAndUnderscoresAndKnowsTheExtraSettings) {
    EXPECT_EQ(cli::FindParameter("MAX_EGT")->textId, 13);
    const auto unit = cli::FindParameter("temperature-unit");
    ASSERT_TRUE(unit.has_value());
    EXPECT_TRUE(unit->extra);
    EXPECT_EQ(unit->setting, cli::ExtraSetting::TemperatureUnit);
    EXPECT_EQ(cli::FindParameter("Engine_Name")->setting, cli::ExtraSetting::EngineName);
    EXPECT_EQ(cli::ExtraSettingName(cli::ExtraSetting::PumpMode), "pump-mode");
    for (const char* bad : {"0", "80", "100", "", "max egt", "egt", "13a"}) {
        EXPECT_FALSE(cli::FindParameter(bad).has_value()) << bad;
    }
    EXPECT_TRUE(cli::IsReadOnly(1));
    EXPECT_TRUE(cli::IsReadOnly(3));
    EXPECT_FALSE(cli::IsReadOnly(4));
}

TEST(EcuCommands, NamesResolveToTheirCodesAndArguments) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        uint8_t code;
        cli::EcuCommandSpec::Form form;
        uint16_t argument;
    };
    using F = cli::EcuCommandSpec::Form;
    const Case cases[] = {
        {"learn-start", {}, 2, F::Short, 0},
        {"learn-stop", {}, 3, F::Short, 0},
        {"learn-min", {}, 4, F::Short, 0},
        {"learn-idle", {}, 5, F::Short, 0},
        {"LEARN_MAX", {}, 6, F::Short, 0},
        {"test-glowplug", {}, 8, F::Short, 0},
        {"test-fuel-valve", {}, 9, F::Short, 0},
        {"test-ignition-valve", {}, 10, F::Short, 0},
        {"test-pump", {}, 11, F::Short, 0},
        {"test-starter", {}, 12, F::Short, 0},
        {"test-extension-valve", {"1"}, 13, F::ExtensionValve, 0},
        {"test-extension-valve", {"2"}, 13, F::ExtensionValve, 1},
        {"test-oxygen-valve", {}, 18, F::Short, 0},
        {"test-ignition-pump", {}, 19, F::Short, 0},
        {"test-pump-hall", {}, 20, F::Short, 0},
        {"calibrate-temperature", {"24"}, 0, F::Calibration, 24},
        {"calibrate-temperature", {"0"}, 0, F::Calibration, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cli::EcuCommandCall call;
        std::string error;
        ASSERT_TRUE(cli::ResolveEcuCommand(c.name, c.args, call, error)) << error;
        EXPECT_EQ(call.spec->code, c.code);
        EXPECT_EQ(call.spec->form, c.form);
        EXPECT_EQ(call.argument, c.argument);
    }
}

TEST(EcuCommands, BadNamesAndArgumentsAreRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"test-everything", {}},
        {"test-glowplug", {"1"}},
        {"test-extension-valve", {}},
        {"test-extension-valve", {"0"}},
        {"test-extension-valve", {"3"}},
        {"calibrate-temperature", {}},
        {"calibrate-temperature", {"11"}}, // not one of the offered temperatures
        {"calibrate-temperature", {"32"}},
        {"calibrate-temperature", {"24", "1"}},
    };
    for (const Case& c : cases) {
        cli::EcuCommandCall call;
        std::string error;
        EXPECT_FALSE(cli::ResolveEcuCommand(c.name, c.args, call, error)) << c.name;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(cli::CalibrationTemperatures().size(), 12u);
}
