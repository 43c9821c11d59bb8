// The capture run driven in-process against the fake SDK: console report, files, exit status and
// the calls made, for each kind of SDK answer, without the real pause.
#include "fake_sdk.h"
#include "test_support.h"
#include "tool/capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs in a scratch folder of its own, which the run writes into as its current directory.
class CaptureRun : public ::testing::Test {
  protected:
    void SetUp() override
    {
        home_ = fs::current_path();
        work_ = makeScratchFolder("run");
        streams_ = makeScratchFolder("streams");
        fs::current_path(work_);
    }

    void TearDown() override
    {
        fs::current_path(home_);
        fs::remove_all(work_);
        fs::remove_all(streams_);
    }

    // Runs the capture against the fake set up as `setup`; gives the exit status.
    int run(const FakeSdkSetup& setup, void* (*allocate)(std::size_t) = std::malloc)
    {
        fakeSdkReset(setup);
        std::FILE* out = std::fopen((streams_ / "out.txt").string().c_str(), "w");
        std::FILE* err = std::fopen((streams_ / "err.txt").string().c_str(), "w");
        const CaptureContext context{out, err, fakeWait, allocate};
        const int status = runCapture(fakeSdkApi(), context);
        std::fclose(out);
        std::fclose(err);
        out_ = joinLines(readText(streams_ / "out.txt"));
        err_ = joinLines(readText(streams_ / "err.txt"));
        return status;
    }

    static std::string joinLines(const std::string& text)
    {
        std::string joined;
        for (const std::string& line : textLines(text)) {
            joined += line + "\n";
        }
        return joined;
    }

    fs::path home_;
    fs::path work_;
    fs::path streams_;
    std::string out_;
    std::string err_;
};

FakeSdkSetup frameOn(int channel, std::int32_t width, std::int32_t height)
{
    FakeSdkSetup setup;
    setup.channels[channel] = FakeChannel{1, true, width, height};
    return setup;
}

// The expected report with "@N" standing for the pointer handed out on channel N.
std::string withPointers(std::string text)
{
    for (int channel = 0; channel < 5; ++channel) {
        const std::string mark = "@" + std::to_string(channel);
        char pointer[32];
        std::snprintf(pointer, sizeof pointer, "%016llx",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(fakeGrayPixels(channel))));
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
            text.replace(at, mark.size(), pointer);
        }
    }
    return text;
}

std::vector<std::uint8_t> grayOf(int channel, std::size_t pixels)
{
    const std::uint8_t* gray = fakeGrayPixels(channel);
    return std::vector<std::uint8_t>(gray, gray + pixels);
}

void* failAllocation(std::size_t /*bytes*/)
{
    return nullptr;
}

struct AnswerCase {
    const char* name;
    FakeSdkSetup setup;
    const char* report;  // "@N": channel N's pointer
    std::vector<std::string> calls;
    int savedChannel;  // -1: no file may appear
};

FakeSdkSetup noFrames(int startResult)
{
    FakeSdkSetup setup;
    setup.startResult = startResult;
    return setup;
}

FakeSdkSetup oddChannels()
{
    FakeSdkSetup setup;
    setup.channels[0] = FakeChannel{7, false, 0, 0};   // success without a pointer
    setup.channels[1] = FakeChannel{0, true, 20, 10};  // a pointer without success
    setup.channels[2] = FakeChannel{-3, true, 4, 3};   // negative is success too
    setup.channels[3] = FakeChannel{1, true, 8, 8};    // never asked
    return setup;
}

FakeSdkSetup rgbStatus(std::int32_t status)
{
    FakeSdkSetup setup = frameOn(1, 3, 2);
    setup.rgbStatus = status;
    return setup;
}

const std::vector<std::string> kStart = {"SetNewIRFrameDelegate onIR", "Start", "wait 3000"};

std::vector<std::string> calls(std::vector<std::string> scan)
{
    std::vector<std::string> all = kStart;
    all.insert(all.end(), scan.begin(), scan.end());
    all.emplace_back("Stop");
    return all;
}

const std::vector<AnswerCase>& answerCases()
{
    static const std::vector<AnswerCase> cases = {
        {"frame on channel 0", frameOn(0, 160, 120),
         "Start=1\nchan 0 gray rc=1 buf=@0\n  dev w=160 h=120\n  RGB24 rc=1\n  saved gray=160x120 rgb\ndone\n",
         calls({"gray 0", "rgb 0 size=57600 mode=1"}), 0},
        {"no frame anywhere", noFrames(0),
         "Start=0\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=0 buf=0000000000000000\nchan 3 gray rc=0 buf=0000000000000000\n"
         "chan 4 gray rc=0 buf=0000000000000000\ndone\n",
         calls({"gray 0", "gray 1", "gray 2", "gray 3", "gray 4"}), -1},
        {"frame only on channel 4", frameOn(4, 2, 2),
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=0 buf=0000000000000000\nchan 3 gray rc=0 buf=0000000000000000\n"
         "chan 4 gray rc=1 buf=@4\n  dev w=2 h=2\n  RGB24 rc=1\n  saved gray=2x2 rgb\ndone\n",
         calls({"gray 0", "gray 1", "gray 2", "gray 3", "gray 4", "rgb 4 size=12 mode=1"}), 4},
        {"status without pointer, pointer without status", oddChannels(),
         "Start=1\nchan 0 gray rc=7 buf=0000000000000000\nchan 1 gray rc=0 buf=@1\nchan 2 gray rc=-3 buf=@2\n"
         "  dev w=4 h=3\n  RGB24 rc=1\n  saved gray=4x3 rgb\ndone\n",
         calls({"gray 0", "gray 1", "gray 2", "rgb 2 size=36 mode=1"}), 2},
        {"largest frame", frameOn(0, 999, 999),
         "Start=1\nchan 0 gray rc=1 buf=@0\n  dev w=999 h=999\n  RGB24 rc=1\n  saved gray=999x999 rgb\ndone\n",
         calls({"gray 0", "rgb 0 size=2994003 mode=1"}), 0},
        {"smallest frame", frameOn(3, 1, 1),
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=0 buf=0000000000000000\nchan 3 gray rc=1 buf=@3\n  dev w=1 h=1\n  RGB24 rc=1\n"
         "  saved gray=1x1 rgb\ndone\n",
         calls({"gray 0", "gray 1", "gray 2", "gray 3", "rgb 3 size=3 mode=1"}), 3},
        {"RGB24 fails", rgbStatus(0),
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=1 buf=@1\n  dev w=3 h=2\n  RGB24 rc=0\ndone\n",
         calls({"gray 0", "gray 1", "rgb 1 size=18 mode=1"}), -1},
        {"RGB24 negative status is success", rgbStatus(-1),
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=1 buf=@1\n  dev w=3 h=2\n  RGB24 rc=-1\n"
         "  saved gray=3x2 rgb\ndone\n",
         calls({"gray 0", "gray 1", "rgb 1 size=18 mode=1"}), 1},
    };
    return cases;
}

TEST_F(CaptureRun, ReportsFilesStatusAndCallsForEachAnswer)
{
    for (const AnswerCase& test : answerCases()) {
        SCOPED_TRACE(test.name);
        for (const std::string& stale : folderEntries(work_)) {
            fs::remove(work_ / stale);
        }
        EXPECT_EQ(run(test.setup), kExitOk);
        EXPECT_EQ(out_, withPointers(test.report));
        EXPECT_EQ(err_, "");
        EXPECT_EQ(fakeSdkCalls(), test.calls);
        if (test.savedChannel < 0) {
            EXPECT_TRUE(folderEntries(work_).empty());
            continue;
        }
        const FakeChannel& frame = test.setup.channels[test.savedChannel];
        const std::size_t pixels = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
        EXPECT_EQ(folderEntries(work_), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
        EXPECT_EQ(readBytes(work_ / kGrayFile), grayOf(test.savedChannel, pixels));
        EXPECT_EQ(readBytes(work_ / kRgbFile), fakeRgbImage(pixels * 3));
    }
}

TEST_F(CaptureRun, SizeOutOfRangeEndsTheScanWithoutRgbOrFiles)
{
    struct Size {
        std::int32_t width;
        std::int32_t height;
    };
    const Size sizes[] = {{0, 120},     {160, 0},     {1000, 120},  {160, 1000},  {-1, 120},    {160, -1},
                          {1000, 1000}, {INT_MIN, 5}, {5, INT_MIN}, {INT_MAX, 5}, {5, INT_MAX}, {-999, -999}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        FakeSdkSetup setup = frameOn(1, size.width, size.height);
        setup.channels[2] = FakeChannel{1, true, 10, 10};  // a later good frame is not looked for
        EXPECT_EQ(run(setup), kExitOk);
        EXPECT_EQ(out_, withPointers("Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=1 buf=@1\n"
                                     "  dev w=" +
                                     std::to_string(size.width) + " h=" + std::to_string(size.height) + "\ndone\n"));
        EXPECT_EQ(fakeSdkCalls(), calls({"gray 0", "gray 1"}));
        EXPECT_TRUE(folderEntries(work_).empty());
    }
}

TEST_F(CaptureRun, StartStatusIsItsLowByteUnsigned)
{
    const std::pair<int, const char*> results[] = {
        {0, "Start=0\n"},       {1, "Start=1\n"},    {255, "Start=255\n"},   {256, "Start=0\n"},
        {0x1FF, "Start=255\n"}, {-1, "Start=255\n"}, {INT_MIN, "Start=0\n"}, {0x12345678, "Start=120\n"},
    };
    for (const auto& result : results) {
        SCOPED_TRACE(result.first);
        EXPECT_EQ(run(noFrames(result.first)), kExitOk);
        EXPECT_EQ(out_.substr(0, out_.find('\n') + 1), result.second);
    }
}

TEST_F(CaptureRun, ReplacesTheFilesOfAnEarlierRun)
{
    writeBytes(work_ / kGrayFile, std::vector<std::uint8_t>(50000, 0xAA));
    writeBytes(work_ / kRgbFile, std::vector<std::uint8_t>(5, 0xBB));
    EXPECT_EQ(run(frameOn(0, 7, 5)), kExitOk);
    EXPECT_EQ(readBytes(work_ / kGrayFile), grayOf(0, 35));
    EXPECT_EQ(readBytes(work_ / kRgbFile), fakeRgbImage(105));
    EXPECT_EQ(folderEntries(work_), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
}

TEST_F(CaptureRun, FailedRgb24KeepsTheFilesOfAnEarlierRun)
{
    const std::vector<std::uint8_t> earlierGray(40, 0x11);
    const std::vector<std::uint8_t> earlierRgb(120, 0x22);
    writeBytes(work_ / kGrayFile, earlierGray);
    writeBytes(work_ / kRgbFile, earlierRgb);
    EXPECT_EQ(run(rgbStatus(0)), kExitOk);
    EXPECT_EQ(readBytes(work_ / kGrayFile), earlierGray);
    EXPECT_EQ(readBytes(work_ / kRgbFile), earlierRgb);
}

// An output name taken by a folder makes that file fail; the other is still written, the earlier
// file is kept, nothing temporary stays, and the run still stops the SDK and says "done".
TEST_F(CaptureRun, FileThatCannotBeWrittenIsReportedAndKeepsTheOtherFile)
{
    for (const bool grayBlocked : {true, false}) {
        const char* blocked = grayBlocked ? kGrayFile : kRgbFile;
        const char* other = grayBlocked ? kRgbFile : kGrayFile;
        SCOPED_TRACE(blocked);
        for (const std::string& stale : folderEntries(work_)) {
            fs::remove_all(work_ / stale);
        }
        fs::create_directory(work_ / blocked);
        writeBytes(work_ / blocked / "inside", {1, 2, 3});
        EXPECT_EQ(run(frameOn(0, 6, 4)), kExitSaveFailed);
        EXPECT_EQ(out_, withPointers("Start=1\nchan 0 gray rc=1 buf=@0\n  dev w=6 h=4\n  RGB24 rc=1\ndone\n"));
        EXPECT_EQ(err_.rfind(std::string("ircapture: cannot save ") + blocked + ": ", 0), 0U) << err_;
        EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1);
        EXPECT_EQ(fakeSdkCalls(), calls({"gray 0", "rgb 0 size=72 mode=1"}));
        EXPECT_TRUE(fs::is_directory(work_ / blocked));
        EXPECT_EQ(readBytes(work_ / blocked / "inside"), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(readBytes(work_ / other), grayBlocked ? fakeRgbImage(72) : grayOf(0, 24));
        EXPECT_EQ(folderEntries(work_).size(), 2U);
    }
}

TEST_F(CaptureRun, BufferThatCannotBeAllocatedTouchesNoFile)
{
    writeBytes(work_ / kGrayFile, {9, 9, 9});
    EXPECT_EQ(run(frameOn(0, 999, 999), failAllocation), kExitSaveFailed);
    EXPECT_EQ(out_, withPointers("Start=1\nchan 0 gray rc=1 buf=@0\n  dev w=999 h=999\ndone\n"));
    EXPECT_EQ(err_, "ircapture: cannot allocate 2994003 bytes for the RGB24 image\n");
    EXPECT_EQ(fakeSdkCalls(), calls({"gray 0"}));
    EXPECT_EQ(folderEntries(work_), std::vector<std::string>{"official_gray3.bin"});
    EXPECT_EQ(readBytes(work_ / kGrayFile), (std::vector<std::uint8_t>{9, 9, 9}));
}

TEST(FormatPointer, SixteenLowercaseDigitsWithoutPrefix)
{
    const std::pair<std::uintptr_t, const char*> cases[] = {
        {0, "0000000000000000"},
        {1, "0000000000000001"},
        {0xDEADBEEFu, "00000000deadbeef"},
        {static_cast<std::uintptr_t>(0xFEDCBA9876543210ULL), "fedcba9876543210"},
        {static_cast<std::uintptr_t>(~0ULL), "ffffffffffffffff"},
    };
    for (const auto& test : cases) {
        char text[17];
        // Any address will do: the pointer is only printed, never followed.
        formatPointer(reinterpret_cast<const void*>(test.first), text);  // NOLINT(performance-no-int-to-ptr)
        EXPECT_STREQ(text, test.second);
    }
}

}  // namespace
