// Macro expansion and the fill-only-what-is-missing rule of the profile settings.
#include <gtest/gtest.h>

#include "fake_system.h"
#include "install/profile_settings.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

std::string Expanded(std::string value, const std::string& install = "C:\\App") {
    EXPECT_TRUE(ExpandMacros(value, "C:\\WINDOWS", install));
    return value;
}

TEST(ExpandMacros, ReplacesEveryMacroLeftToRight) {
    EXPECT_EQ(Expanded("$INSTALL\\data"), "C:\\App\\data");
    EXPECT_EQ(Expanded("$INSTALL\\data", "C:\\App\\"), "C:\\App\\\\data");
    EXPECT_EQ(Expanded("$INSTALL;$WINDOWS"), "C:\\App;C:\\WINDOWS");
    EXPECT_EQ(Expanded("$WINDOWSsystem"), "C:\\WINDOWSsystem");  // no separator needed after a macro
    EXPECT_EQ(Expanded("$$INSTALL"), "$C:\\App");
    EXPECT_EQ(Expanded(""), "");
}

TEST(ExpandMacros, LeavesEverythingElseAlone) {
    EXPECT_EQ(Expanded("$windows\\x"), "$windows\\x");
    EXPECT_EQ(Expanded("path $INSTAL"), "path $INSTAL");
    EXPECT_EQ(Expanded("Price $5"), "Price $5");
    EXPECT_EQ(Expanded("$"), "$");
    EXPECT_EQ(Expanded("plain"), "plain");
}

TEST(ExpandMacros, InsertedTextIsNotExpandedAgain) {
    EXPECT_EQ(Expanded("$INSTALL|$INSTALL", "D:\\$WINDOWS"), "D:\\$WINDOWS|D:\\$WINDOWS");
}

TEST(ExpandMacros, ValueOverTheLimitIsRefusedNotCut) {
    const std::string folder(250, 'f');
    std::string fits = "$INSTALL" + std::string(9, 'x');  // 259 characters after expansion
    EXPECT_TRUE(ExpandMacros(fits, "C:\\WINDOWS", folder));
    EXPECT_EQ(fits.size(), 259u);
    std::string tooLong = "$INSTALL" + std::string(10, 'x');  // 260
    EXPECT_FALSE(ExpandMacros(tooLong, "C:\\WINDOWS", folder));
    EXPECT_EQ(tooLong, "$INSTALL" + std::string(10, 'x'));
}

struct ApplySettingsTest : ::testing::Test {
    testing::FakeSystem system;
    const std::string ini = "C:\\WINDOWS\\app.ini";

    archive::SettingRecord Setting(const std::string& key, const std::string& value, std::uint32_t numeric = 0) {
        return archive::SettingRecord{"app.ini", "Main", key, value, numeric};
    }
    void Apply(const std::vector<archive::SettingRecord>& settings) {
        ApplySettings(system, settings, "C:\\WINDOWS", "C:\\App");
    }
    std::string Value(const std::string& key) { return system.m_profiles[system.Key(ini)]["Main"][key]; }
};

TEST_F(ApplySettingsTest, StringSettingFillsOnlyMissingOrEmptyValues) {
    system.m_profiles[system.Key(ini)]["Main"]["Kept"] = "old";
    system.m_profiles[system.Key(ini)]["Main"]["Empty"] = "";
    Apply({Setting("Kept", "new"), Setting("Empty", "$INSTALL"), Setting("Missing", "$WINDOWS\\x")});
    EXPECT_EQ(Value("Kept"), "old");
    EXPECT_EQ(Value("Empty"), "C:\\App");
    EXPECT_EQ(Value("Missing"), "C:\\WINDOWS\\x");
}

TEST_F(ApplySettingsTest, NumericSettingIsWrittenUnexpandedAndOnlyWhenMissing) {
    system.m_profiles[system.Key(ini)]["Main"]["Zero"] = "0";
    system.m_profiles[system.Key(ini)]["Main"]["Minus99"] = "-99";  // reads like a missing key
    Apply({Setting("Zero", "5", 1), Setting("Minus99", "7", 1), Setting("Path", "$INSTALL", 1)});
    EXPECT_EQ(Value("Zero"), "0");
    EXPECT_EQ(Value("Minus99"), "7");
    EXPECT_EQ(Value("Path"), "$INSTALL");
}

TEST_F(ApplySettingsTest, SecondSettingForTheSameKeyIsSkippedAfterTheFirstWrote) {
    Apply({Setting("Key", "first"), Setting("Key", "second")});
    EXPECT_EQ(Value("Key"), "first");
}

TEST_F(ApplySettingsTest, IniFileAlwaysLiesInTheWindowsDirectory) {
    Apply({archive::SettingRecord{"sub\\x.ini", "S", "K", "v", 0}});
    EXPECT_EQ(system.m_profiles[system.Key("C:\\WINDOWS\\sub\\x.ini")]["S"]["K"], "v");
}

TEST_F(ApplySettingsTest, OverlongValuesAreSkippedAndFailedWritesIgnored) {
    system.FailOn("WriteProfileValue", "app.ini", 1);
    const std::string install(255, 'i');
    ApplySettings(system, {Setting("Fails", "x"), Setting("TooLong", "$INSTALL\\data"), Setting("Fine", "$INSTALL")},
                  "C:\\WINDOWS", install);
    const auto& main = system.m_profiles[system.Key(ini)]["Main"];
    EXPECT_EQ(main.count("Fails"), 0u);
    EXPECT_EQ(main.count("TooLong"), 0u);
    EXPECT_EQ(main.at("Fine"), install);
}

}  // namespace
}  // namespace kv::install
