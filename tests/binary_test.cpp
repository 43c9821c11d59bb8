// The real ircapture against the simulated SDK: binding, whole runs and failed saves. Each test
// starts its runs together, so the 3-second pause is waited once per test, not once per run.
#include "sim/scene.h"
#include "test_support.h"
#include "tool_runs.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kLoads = {"load ThermalSDK.dll", "load CoreSDKLib.dll"};

// A text file under a library's name.
fs::path notALibrary(const char* name)
{
    static const fs::path folder = makeScratchFolder("not-a-library");
    fs::path path = folder / name;
    const std::string text = "This is not a library.\n";
    writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    return path;
}

TEST(Binding, FailsSilentlyWithoutBothLibrariesAndLoudlyWithoutAnExport)
{
    struct Case {
        ToolRun run;
        std::string err;
        std::vector<std::string> calls;
    };
    std::vector<Case> cases = {
        {{"thermal missing", {simulatorLibrary("CoreSDKLib.dll"), simulatorLibrary("SimCamera.dll")}, {}},
         "",
         {"load CoreSDKLib.dll"}},
        {{"core missing", {simulatorLibrary("ThermalSDK.dll"), simulatorLibrary("SimCamera.dll")}, {}},
         "",
         {"load ThermalSDK.dll"}},
        {{"both missing", {}, {}}, "", {}},
        {{"thermal not a library",
          {notALibrary("ThermalSDK.dll"), simulatorLibrary("CoreSDKLib.dll"), simulatorLibrary("SimCamera.dll")},
          {}},
         "",
         {"load CoreSDKLib.dll"}},
        {{"core not a library",
          {simulatorLibrary("ThermalSDK.dll"), notALibrary("CoreSDKLib.dll"), simulatorLibrary("SimCamera.dll")},
          {}},
         "",
         {"load ThermalSDK.dll"}},
    };
    const char* const exports[] = {"Start", "Stop", "SetNewIRFrameDelegate", "MAG_GetOutputBMPdata",
                                   "MAG_GetOutputBMPdataRGB24"};
    for (const char* name : exports) {
        const bool core = std::string(name).rfind("MAG_", 0) == 0;
        const char* library = core ? "CoreSDKLib.dll" : "ThermalSDK.dll";
        std::vector<fs::path> libraries = {simulatorLibraryWithout(name, library),
                                           simulatorLibrary(core ? "ThermalSDK.dll" : "CoreSDKLib.dll"),
                                           simulatorLibrary("SimCamera.dll")};
        cases.push_back({{std::string("without ") + name, libraries, {}},
                         std::string("ircapture: ") + library + " has no entry point " + name + "\n",
                         kLoads});
    }
    const std::vector<ToolRun> runs = runsOf(cases);
    const std::vector<Outcome> outcomes = runAll(runs);
    recordFigure("libraries missing, broken or lacking an export", cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].run.name);
        EXPECT_EQ(outcomes[i].result.status, 1);
        EXPECT_EQ(outcomes[i].result.out, "");
        EXPECT_EQ(textLines(outcomes[i].result.err), textLines(cases[i].err));
        // Both loads are tried; no SDK call is made once binding has failed.
        EXPECT_EQ(loggedCalls(outcomes[i].log), cases[i].calls);
        EXPECT_TRUE(folderEntries(outcomes[i].work).empty());
    }
}

TEST(Binding, NeverLoadsTheSdkFromTheCurrentDirectory)
{
    const std::vector<Outcome> outcomes = runAll({{"sdk in cwd", {}, {}}}, [](const ToolRun&, const fs::path& work) {
        for (const fs::path& library : fullSdk()) {
            fs::copy_file(library, work / library.filename());
        }
    });
    EXPECT_EQ(outcomes[0].result.status, 1);
    EXPECT_EQ(outcomes[0].result.out, "");
    EXPECT_EQ(outcomes[0].result.err, "");
    EXPECT_EQ(outcomes[0].log, "");
}

// Windows looks first in the program's own folder; the Linux stand-in leaves that to the loader's
// path, which does not include it.
TEST(Binding, SdkBesideTheProgramIsFoundOnWindowsOnly)
{
    ToolRun run{"sdk beside the program", fullSdk(), {}};
    run.besideProgram = true;
    const std::vector<Outcome> outcomes = runAll({run});
#if defined(_WIN32)
    EXPECT_EQ(outcomes[0].result.status, 0);
    EXPECT_EQ(withoutPointers(outcomes[0].result.out),
              "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=160 h=120\n  RGB24 rc=1\n  saved gray=160x120 rgb\ndone\n");
#else
    EXPECT_EQ(outcomes[0].result.status, 1);
    EXPECT_EQ(outcomes[0].result.out, "");
#endif
    EXPECT_EQ(outcomes[0].result.err, "");
}

TEST(WholeRun, ReportsAndSavesWhatTheSimulatedCameraGives)
{
    struct Case {
        ToolRun run;
        std::string report;  // with buf=PTR for each non-null pointer
        std::vector<std::string> calls;
        std::size_t pixels;  // of the saved frame; 0: no file
        bool exact;          // the test pattern: every byte known
    };
    const std::vector<Case> cases = {
        {{"default camera", fullSdk(), {}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=160 h=120\n  RGB24 rc=1\n  saved gray=160x120 rgb\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}),
         std::size_t{160} * 120,
         false},
        {{"test pattern on channel 3",
          fullSdk(),
          {{"SIMCAM_CHANNELS", "1=9x9,3=16x17"},
           {"SIMCAM_GRAY_RC", "0=5,1=0"},
           {"SIMCAM_SCENE", "ramp"},
           {"SIMCAM_START_RC", "0x1FF"},
           {"SIMCAM_RGB24_RC", "-2"}}},
         "Start=255\nchan 0 gray rc=5 buf=0000000000000000\nchan 1 gray rc=0 buf=PTR\nchan 2 gray rc=0 "
         "buf=0000000000000000\nchan 3 gray rc=1 buf=PTR\n  dev w=16 h=17\n  RGB24 rc=-2\n  saved gray=16x17 rgb\n"
         "done\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata",
                     "MAG_GetOutputBMPdataRGB24"}),
         std::size_t{16} * 17,
         true},
        {{"largest frame", fullSdk(), {{"SIMCAM_CHANNELS", "0=999x999"}, {"SIMCAM_SCENE", "ramp"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=999 h=999\n  RGB24 rc=1\n  saved gray=999x999 rgb\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}),
         std::size_t{999} * 999,
         true},
        {{"no camera", fullSdk(), {{"SIMCAM_CHANNELS", ""}, {"SIMCAM_START_RC", "0"}}},
         "Start=0\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=0 buf=0000000000000000\nchan 3 gray rc=0 buf=0000000000000000\n"
         "chan 4 gray rc=0 buf=0000000000000000\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata",
                     "MAG_GetOutputBMPdata"}),
         0,
         false},
        {{"width out of range", fullSdk(), {{"SIMCAM_CHANNELS", "0=1000x10,1=5x5"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=1000 h=10\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata"}),
         0,
         false},
        {{"negative height", fullSdk(), {{"SIMCAM_CHANNELS", "2=10x-2147483648"}}},
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=1 buf=PTR\n  dev w=10 h=-2147483648\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata"}),
         0,
         false},
        {{"RGB24 fails", fullSdk(), {{"SIMCAM_RGB24_RC", "0"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=160 h=120\n  RGB24 rc=0\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}),
         0,
         false},
        {{"delegate called from many threads",
          fullSdk(),
          {{"SIMCAM_DELEGATE_THREADS", "3"}, {"SIMCAM_CHANNELS", "0=1x1"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=1 h=1\n  RGB24 rc=1\n  saved gray=1x1 rgb\ndone\n",
         boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}),
         1,
         false},
    };
    const std::vector<ToolRun> runs = runsOf(cases);
    // An earlier run's files, which a run that saves nothing must leave alone.
    const std::vector<std::uint8_t> earlier = {0x0A, 0x0D, 0x1A, 0x00};
    const std::vector<Outcome> outcomes = runAll(runs, [&earlier](const ToolRun&, const fs::path& work) {
        writeBytes(work / "official_gray3.bin", earlier);
        writeBytes(work / "official_rgb3.bin", earlier);
    });
    recordFigure("runs with the delegate called from 4 threads at once", 1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& test = cases[i];
        const Outcome& outcome = outcomes[i];
        SCOPED_TRACE(test.run.name);
        EXPECT_EQ(outcome.result.status, 0);
        EXPECT_EQ(withoutPointers(outcome.result.out), test.report);
        EXPECT_EQ(outcome.result.err, "");
        EXPECT_EQ(loggedCalls(outcome.log), test.calls) << outcome.log;
        EXPECT_EQ(outcome.log.find("BREACH"), std::string::npos) << outcome.log;
        EXPECT_NE(outcome.log.find("results=1.."), std::string::npos) << outcome.log;
        if (test.run.name == "delegate called from many threads") {
            // The load threads really did call at once, many times over.
            const std::size_t at = outcome.log.find("delegate calls=");
            ASSERT_NE(at, std::string::npos);
            EXPECT_GT(std::strtoull(outcome.log.c_str() + at + 15, nullptr, 10), 10000U) << outcome.log;
        }
        EXPECT_EQ(folderEntries(outcome.work), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
        const std::vector<std::uint8_t> gray = readBytes(outcome.work / "official_gray3.bin");
        const std::vector<std::uint8_t> rgb = readBytes(outcome.work / "official_rgb3.bin");
        if (test.pixels == 0) {
            EXPECT_EQ(gray, earlier);
            EXPECT_EQ(rgb, earlier);
        } else if (test.exact) {
            EXPECT_EQ(gray, rampGray(test.pixels));
            EXPECT_EQ(rgb, rampRgb(test.pixels));
        } else {
            // The thermal scene: the RGB24 image is the palette of the very gray frame saved with it.
            ASSERT_EQ(gray.size(), test.pixels);
            ASSERT_EQ(rgb.size(), test.pixels * 3);
            std::vector<std::uint8_t> expected(rgb.size());
            for (std::size_t p = 0; p < gray.size(); ++p) {
                paletteColour(gray[p], &expected[3 * p]);
            }
            EXPECT_EQ(rgb, expected);
        }
    }
}

// A file that cannot be saved: the earlier file stays byte for byte, nothing temporary is left,
// the other file is still written when it can be, and the run still stops the SDK.
struct SaveFault {
    ToolRun run;
    const char* folderName;  // an output name taken by a folder, or null
    bool graySaved;
    bool rgbSaved;
    std::vector<std::string> errors;  // the start of each line on standard error
};

const std::vector<std::pair<std::string, std::string>> kPattern = {{"SIMCAM_SCENE", "ramp"},
                                                                   {"SIMCAM_CHANNELS", "0=160x120"}};

// 160x120 gray is 19200 bytes and its RGB24 57600: a file-size limit lets one through, or neither.
// Windows gives its own reason, so only Linux's is checked.
SaveFault fileSizeLimitFault(long long limit)
{
#if defined(_WIN32)
    const std::string reason;
#else
    const std::string reason = "File too large";
#endif
    if (limit >= 19200) {
        return {{"disk full for rgb", fullSdk(), kPattern, limit},
                nullptr,
                true,
                false,
                {"ircapture: cannot save official_rgb3.bin: " + reason}};
    }
    return {{"disk full for both", fullSdk(), kPattern, limit},
            nullptr,
            false,
            false,
            {"ircapture: cannot save official_gray3.bin: " + reason,
             "ircapture: cannot save official_rgb3.bin: " + reason}};
}

void checkSaveFaults(const std::vector<SaveFault>& cases)
{
    recordFigure("file faults injected", cases.size());
    const std::vector<std::uint8_t> earlierGray = {1, 2, 3, 0x0A, 0x0D, 0x1A};
    const std::vector<std::uint8_t> earlierRgb = {4, 5, 6};
    const std::vector<ToolRun> runs = runsOf(cases);
    const std::vector<Outcome> outcomes = runAll(runs, [&](const ToolRun& run, const fs::path& work) {
        for (const SaveFault& test : cases) {
            if (test.run.name == run.name && test.folderName != nullptr) {
                fs::create_directory(work / test.folderName);
            }
        }
        for (const char* name : {"official_gray3.bin", "official_rgb3.bin"}) {
            if (!fs::exists(work / name)) {
                writeBytes(work / name, std::string(name) == "official_gray3.bin" ? earlierGray : earlierRgb);
            }
        }
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SaveFault& test = cases[i];
        const Outcome& outcome = outcomes[i];
        SCOPED_TRACE(test.run.name);
        EXPECT_EQ(outcome.result.status, 2);
        EXPECT_EQ(withoutPointers(outcome.result.out),
                  "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=160 h=120\n  RGB24 rc=1\ndone\n");
        const std::vector<std::string> errors = textLines(outcome.result.err);
        ASSERT_EQ(errors.size(), test.errors.size()) << outcome.result.err;
        for (std::size_t e = 0; e < errors.size(); ++e) {
            EXPECT_EQ(errors[e].rfind(test.errors[e], 0), 0U) << errors[e];
        }
        EXPECT_EQ(loggedCalls(outcome.log), boundCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}));
        EXPECT_EQ(folderEntries(outcome.work), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
        if (test.folderName == nullptr || std::string(test.folderName) != "official_gray3.bin") {
            EXPECT_EQ(readBytes(outcome.work / "official_gray3.bin"), test.graySaved ? rampGray(19200) : earlierGray);
        }
        if (test.folderName == nullptr || std::string(test.folderName) != "official_rgb3.bin") {
            EXPECT_EQ(readBytes(outcome.work / "official_rgb3.bin"), test.rgbSaved ? rampRgb(19200) : earlierRgb);
        }
    }
}

TEST(WholeRun, FailedSaveKeepsEarlierFilesAndExitsWithTwo)
{
    std::vector<SaveFault> cases = {
        {{"gray name is a folder", fullSdk(), kPattern},
         "official_gray3.bin",
         false,
         true,
         {"ircapture: cannot save official_gray3.bin: "}},
        {{"rgb name is a folder", fullSdk(), kPattern},
         "official_rgb3.bin",
         true,
         false,
         {"ircapture: cannot save official_rgb3.bin: "}},
    };
    if (childFileSizeLimitSupported()) {
        cases.push_back(fileSizeLimitFault(30000));
        cases.push_back(fileSizeLimitFault(4096));
    }
    checkSaveFaults(cases);
}

#if defined(_WIN32)
// A Windows program cannot limit its child's file sizes, but Wine's processes obey the limit of the
// Linux process that starts them: the test list runs this test again with IRCAPTURE_FSIZE_LIMIT set,
// and the emulator wrapper limits the whole test process and so the tool it starts.
TEST(WholeRun, FailedSaveUnderAFileSizeLimitSetFromOutside)
{
    const char* limit = std::getenv("IRCAPTURE_FSIZE_LIMIT");
    if (limit == nullptr || childFileSizeLimitSupported()) {
        GTEST_SKIP() << "runs under Wine, with IRCAPTURE_FSIZE_LIMIT set";
    }
    SaveFault fault = fileSizeLimitFault(std::atoll(limit));
    // The test process is under the limit too: the SDK is used where it was built, not copied.
    fault.run.fileSizeLimit = -1;
    fault.run.libraries.clear();
    fault.run.sdkFolder = fullSdk().front().parent_path();
    checkSaveFaults({fault});
}
#endif

}  // namespace
