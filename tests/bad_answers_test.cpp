// Every odd answer the SDK may give, through the real binary: the report, the files and the exit
// status for each. All runs start together, so the table costs one 3-second pause.
#include "test_support.h"
#include "tool_runs.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

struct Answer {
    std::string name;
    std::vector<std::pair<std::string, std::string>> settings;  // besides the test pattern
    std::string report;                                         // "buf=PTR" for a non-null pointer
};

const char* const kNoFrame = "buf=0000000000000000";

// A frame of this size on channel 0: its "dev" line, then RGB24 and the files only within 1..999.
Answer sized(std::int32_t width, std::int32_t height)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const bool inRange = width >= 1 && width <= 999 && height >= 1 && height <= 999;
    std::string report =
        "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=" + std::to_string(width) + " h=" + std::to_string(height) + "\n";
    if (inRange) {
        report += "  RGB24 rc=1\n  saved gray=" + size + " rgb\n";
    }
    return {"size " + size, {{"SIMCAM_CHANNELS", "0=" + size}}, report + "done\n"};
}

std::vector<Answer> answers()
{
    std::vector<Answer> table;
    const std::int32_t sides[] = {0, 1, 999, 1000, -1, INT_MIN, INT_MAX};
    for (const std::int32_t side : sides) {
        table.push_back(sized(side, 7));
        table.push_back(sized(13, side));
    }
    table.push_back(sized(999, 999));
    table.push_back(sized(1, 1));
    table.push_back(sized(1000, 1000));
    table.push_back(sized(INT_MIN, INT_MAX));

    const std::string five = std::string("chan 0 gray rc=0 ") + kNoFrame + "\nchan 1 gray rc=0 " + kNoFrame +
                             "\nchan 2 gray rc=0 " + kNoFrame + "\n";
    table.push_back({"frame only on channel 3",
                     {{"SIMCAM_CHANNELS", "3=4x4"}},
                     "Start=1\n" + five +
                         "chan 3 gray rc=1 buf=PTR\n  dev w=4 h=4\n  RGB24 rc=1\n"
                         "  saved gray=4x4 rgb\ndone\n"});
    table.push_back({"frame only on channel 4",
                     {{"SIMCAM_CHANNELS", "4=5x3"}},
                     "Start=1\n" + five + "chan 3 gray rc=0 " + kNoFrame +
                         "\nchan 4 gray rc=1 buf=PTR\n  dev w=5 h=3\n  RGB24 rc=1\n  saved gray=5x3 rgb\ndone\n"});
    table.push_back({"status without pointer on every channel",
                     {{"SIMCAM_CHANNELS", ""}, {"SIMCAM_GRAY_RC", "0=1,1=-1,2=2147483647,3=-2147483648,4=9"}},
                     std::string("Start=1\nchan 0 gray rc=1 ") + kNoFrame + "\nchan 1 gray rc=-1 " + kNoFrame +
                         "\nchan 2 gray rc=2147483647 " + kNoFrame + "\nchan 3 gray rc=-2147483648 " + kNoFrame +
                         "\nchan 4 gray rc=9 " + kNoFrame + "\ndone\n"});
    table.push_back({"pointer without status on every channel",
                     {{"SIMCAM_CHANNELS", "0=2x2,1=2x2,2=2x2,3=2x2,4=2x2"}, {"SIMCAM_GRAY_RC", "0=0,1=0,2=0,3=0,4=0"}},
                     "Start=1\nchan 0 gray rc=0 buf=PTR\nchan 1 gray rc=0 buf=PTR\nchan 2 gray rc=0 buf=PTR\n"
                     "chan 3 gray rc=0 buf=PTR\nchan 4 gray rc=0 buf=PTR\ndone\n"});
    table.push_back({"odd channels, then a frame with a negative status",
                     {{"SIMCAM_CHANNELS", "1=3x3,2=6x2"}, {"SIMCAM_GRAY_RC", "0=5,1=0,2=-2147483648"}},
                     std::string("Start=1\nchan 0 gray rc=5 ") + kNoFrame +
                         "\nchan 1 gray rc=0 buf=PTR\nchan 2 gray rc=-2147483648 buf=PTR\n  dev w=6 h=2\n"
                         "  RGB24 rc=1\n  saved gray=6x2 rgb\ndone\n"});
    table.push_back({"bad size first, good frame later",
                     {{"SIMCAM_CHANNELS", "0=0x0,1=8x8"}},
                     "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=0 h=0\ndone\n"});

    const std::pair<const char*, const char*> rgbStatuses[] = {
        {"0", "  RGB24 rc=0\ndone\n"},
        {"-1", "  RGB24 rc=-1\n  saved gray=9x4 rgb\ndone\n"},
        {"-2147483648", "  RGB24 rc=-2147483648\n  saved gray=9x4 rgb\ndone\n"},
        {"2147483647", "  RGB24 rc=2147483647\n  saved gray=9x4 rgb\ndone\n"},
    };
    for (const auto& status : rgbStatuses) {
        table.push_back({std::string("RGB24 status ") + status.first,
                         {{"SIMCAM_CHANNELS", "0=9x4"}, {"SIMCAM_RGB24_RC", status.first}},
                         std::string("Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=9 h=4\n") + status.second});
    }

    const std::pair<const char*, const char*> startResults[] = {
        {"0", "0"}, {"255", "255"}, {"256", "0"}, {"-1", "255"}, {"0x1FF", "255"}, {"-2147483648", "0"},
    };
    for (const auto& start : startResults) {
        table.push_back({std::string("Start result ") + start.first,
                         {{"SIMCAM_CHANNELS", "0=2x3"}, {"SIMCAM_START_RC", start.first}},
                         std::string("Start=") + start.second +
                             "\nchan 0 gray rc=1 buf=PTR\n  dev w=2 h=3\n  RGB24 rc=1\n  saved gray=2x3 rgb\ndone\n"});
    }
    return table;
}

TEST(BadAnswers, EachIsReportedAndNothingIsLost)
{
    const std::vector<Answer> table = answers();
    std::vector<ToolRun> runs;
    for (const Answer& answer : table) {
        ToolRun run{answer.name, fullSdk(), answer.settings};
        run.settings.emplace_back("SIMCAM_SCENE", "ramp");
        runs.push_back(run);
    }
    // An earlier run's files: whatever is not saved now must stay exactly as it was.
    const std::vector<std::uint8_t> earlier = {0x0D, 0x0A, 0x1A, 0xFF};
    const std::vector<Outcome> outcomes = runAll(runs, [&earlier](const ToolRun&, const fs::path& work) {
        writeBytes(work / "official_gray3.bin", earlier);
        writeBytes(work / "official_rgb3.bin", earlier);
    });
    recordFigure("bad SDK answers", table.size());

    for (std::size_t i = 0; i < table.size(); ++i) {
        const Outcome& outcome = outcomes[i];
        SCOPED_TRACE(table[i].name);
        EXPECT_EQ(outcome.result.status, 0);
        EXPECT_EQ(withoutPointers(outcome.result.out), table[i].report);
        EXPECT_EQ(outcome.result.err, "");
        EXPECT_EQ(outcome.log.find("BREACH"), std::string::npos) << outcome.log;
        EXPECT_EQ(loggedCalls(outcome.log).back(), "delegate") << outcome.log;
        EXPECT_EQ(folderEntries(outcome.work), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
        const std::size_t at = table[i].report.find("  saved gray=");
        if (at != std::string::npos) {
            char* end = nullptr;
            const unsigned long width = std::strtoul(table[i].report.c_str() + at + 13, &end, 10);
            const unsigned long height = std::strtoul(end + 1, nullptr, 10);
            const std::size_t pixels = width * height;
            EXPECT_EQ(readBytes(outcome.work / "official_gray3.bin"), rampGray(pixels));
            EXPECT_EQ(readBytes(outcome.work / "official_rgb3.bin"), rampRgb(pixels));
        } else {
            EXPECT_EQ(readBytes(outcome.work / "official_gray3.bin"), earlier);
            EXPECT_EQ(readBytes(outcome.work / "official_rgb3.bin"), earlier);
        }
    }
}

}  // namespace
