// The Today host stand-in's command line: events with their times, file names
// that hold colons, and the malformed values it must refuse.
#include <gtest/gtest.h>

#include "host_options.h"

namespace {

TEST(HostOptionsTest, ReadsEveryOptionInOrder) {
    HostOptions options;
    std::wstring error;
    ASSERT_TRUE(
        ParseHostOptions({L"--seconds", L"12", L"--shot", L"1500:C:\\shots\\a:b.png", L"--tap",
                          L"2000:100,35", L"--landscape-at", L"0", L"--landscape"},
                         options, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(12u, options.Seconds);
    EXPECT_TRUE(options.Landscape);
    EXPECT_FALSE(options.Help);
    ASSERT_EQ(3u, options.Events.size());
    EXPECT_EQ(HostEventKind::Shot, options.Events[0].Kind);
    EXPECT_EQ(1500u, options.Events[0].DelayMs);
    EXPECT_EQ(L"C:\\shots\\a:b.png", options.Events[0].Path) << "only the first colon splits";
    EXPECT_EQ(HostEventKind::Tap, options.Events[1].Kind);
    EXPECT_EQ(2000u, options.Events[1].DelayMs);
    EXPECT_EQ(100, options.Events[1].X);
    EXPECT_EQ(35, options.Events[1].Y);
    EXPECT_EQ(HostEventKind::Landscape, options.Events[2].Kind);
    EXPECT_EQ(0u, options.Events[2].DelayMs);
}

TEST(HostOptionsTest, DefaultsRunUntilClosedWithoutEvents) {
    HostOptions options;
    options.Seconds = 99;
    std::wstring error;
    ASSERT_TRUE(ParseHostOptions({}, options, error));
    EXPECT_EQ(0u, options.Seconds) << "earlier contents are reset";
    EXPECT_TRUE(options.Events.empty());
    ASSERT_TRUE(ParseHostOptions({L"--help"}, options, error));
    EXPECT_TRUE(options.Help);
}

TEST(HostOptionsTest, RefusesMalformedValues) {
    const std::vector<std::vector<std::wstring>> cases = {
        {L"--bogus"},
        {L"--seconds"},
        {L"--seconds", L"0"},
        {L"--seconds", L"-3"},
        {L"--seconds", L"1234567890"},
        {L"--seconds", L"5s"},
        {L"--shot", L"1000"},
        {L"--shot", L"1000:"},
        {L"--shot", L":a.png"},
        {L"--shot", L"x:a.png"},
        {L"--tap", L"1000:100"},
        {L"--tap", L"1000:100,"},
        {L"--tap", L"1000:-1,5"},
        {L"--tap", L"100,35"},
        {L"--landscape-at", L"soon"},
    };
    for (const auto& args : cases) {
        HostOptions options;
        std::wstring error;
        EXPECT_FALSE(ParseHostOptions(args, options, error))
            << std::string(args.back().begin(), args.back().end());
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
