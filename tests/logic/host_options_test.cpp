// The Today host stand-in's command line: the steps in the order given with
// their values, file names that hold colons, and the malformed values it must
// refuse.
#include <gtest/gtest.h>

#include <iterator>

#include "host_options.h"

namespace {

TEST(HostOptionsTest, ReadsEveryStepInOrder) {
    HostOptions options;
    std::wstring error;
    ASSERT_TRUE(
        ParseHostOptions({L"--seconds",    L"12",          L"--wait-line",   L"loaded Tovamet",
                          L"--wait",       L"1500",        L"--shot",        L"C:\\shots\\a:b.png",
                          L"--tap",        L"100,35",      L"--wait-window", L"Tovamet Settings",
                          L"--tap-client", L"75,104",      L"--tap-control", L"1038",
                          L"--choose",     L"1017:2",      L"--wait-gone",   L"Tovamet Settings",
                          L"--turn",       L"--landscape", L"--close"},
                         options, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(12u, options.Seconds);
    EXPECT_TRUE(options.Landscape);
    EXPECT_FALSE(options.Help);
    struct Expected {
        HostStepKind Kind;
        const wchar_t* Text;
        int Number, X, Y, Entry;
        const wchar_t* Written;
    };
    const Expected expected[] = {
        {HostStepKind::WaitLine, L"loaded Tovamet", 0, 0, 0, 0, L"--wait-line loaded Tovamet"},
        {HostStepKind::Wait, L"", 1500, 0, 0, 0, L"--wait 1500"},
        {HostStepKind::Shot, L"C:\\shots\\a:b.png", 0, 0, 0, 0, L"--shot C:\\shots\\a:b.png"},
        {HostStepKind::Tap, L"", 0, 100, 35, 0, L"--tap 100,35"},
        {HostStepKind::WaitWindow, L"Tovamet Settings", 0, 0, 0, 0, nullptr},
        {HostStepKind::TapClient, L"", 0, 75, 104, 0, nullptr},
        {HostStepKind::TapControl, L"", 1038, 0, 0, 0, nullptr},
        {HostStepKind::Choose, L"", 1017, 0, 0, 2, L"--choose 1017:2"},
        {HostStepKind::WaitGone, L"Tovamet Settings", 0, 0, 0, 0, nullptr},
        {HostStepKind::Turn, L"", 0, 0, 0, 0, L"--turn"},
        {HostStepKind::Close, L"", 0, 0, 0, 0, L"--close"},
    };
    ASSERT_EQ(std::size(expected), options.Steps.size());
    for (size_t i = 0; i < options.Steps.size(); ++i) {
        const HostStep& step = options.Steps[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(want.Kind, step.Kind);
        EXPECT_EQ(want.Text, step.Text);
        EXPECT_EQ(want.Number, step.Number);
        EXPECT_EQ(want.X, step.X);
        EXPECT_EQ(want.Y, step.Y);
        EXPECT_EQ(want.Entry, step.Entry);
        if (want.Written != nullptr) {
            EXPECT_EQ(want.Written, step.Written);
        }
    }
}

TEST(HostOptionsTest, DefaultsRunUntilClosedWithoutSteps) {
    HostOptions options;
    options.Seconds = 99;
    std::wstring error;
    ASSERT_TRUE(ParseHostOptions({}, options, error));
    EXPECT_EQ(0u, options.Seconds) << "earlier contents are reset";
    EXPECT_TRUE(options.Steps.empty());
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
        {L"--wait"},
        {L"--wait", L"soon"},
        {L"--wait-line", L""},
        {L"--wait-window"},
        {L"--shot", L""},
        {L"--tap", L"100"},
        {L"--tap", L"100,"},
        {L"--tap", L"-1,5"},
        {L"--tap", L"1000:100,35"},
        {L"--tap-client", L"5;5"},
        {L"--tap-control", L"IDOK"},
        {L"--choose", L"1017"},
        {L"--choose", L"1017:"},
        {L"--choose", L"1017,1"},
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
