// The real ircapture against the simulated SDK: binding, whole runs and failed saves. Each test
// starts its runs together, so the 3-second pause is waited once per test, not once per run.
#include "child_process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

namespace fs = std::filesystem;

namespace {

const fs::path kProgram = IRCAPTURE_PROGRAM;
const fs::path kSimulator = IRCAPTURE_SIMULATOR_DIR;  // full/ and without_<export>/

// One run of the tool: where its SDK comes from, how the simulator is set, what it finds on disk.
struct ToolRun {
    std::string name;
    std::vector<fs::path> libraries;  // copied into the run's SDK folder
    std::vector<std::pair<std::string, std::string>> settings;
    long long fileSizeLimit = -1;
    bool besideProgram = false;  // the libraries go beside a copy of the program instead
};

struct Outcome {
    fs::path work;      // the run's current directory
    fs::path sdk;
    ChildResult result;
    std::string log;    // the simulator's call log
};

fs::path full(const char* library)
{
    return kSimulator / "full" / library;
}

std::vector<fs::path> fullSdk()
{
    return {full("ThermalSDK.dll"), full("CoreSDKLib.dll"), full("SimCamera.dll")};
}

// Makes each run's folders, with `prepare` filling its current directory first, then runs all at once.
std::vector<Outcome> runAll(const std::vector<ToolRun>& runs,
                            const std::function<void(const ToolRun&, const fs::path&)>& prepare = nullptr)
{
    std::vector<ChildSpec> specs;
    std::vector<Outcome> outcomes;
    for (const ToolRun& run : runs) {
        const fs::path root = makeScratchFolder("binary");
        Outcome outcome{root / "work", root / "sdk", {}, {}};
        fs::create_directories(outcome.work);
        fs::create_directories(outcome.sdk);
        fs::create_directories(root / "streams");
        fs::path program = kProgram;
        fs::path libraryFolder = outcome.sdk;
        if (run.besideProgram) {
            libraryFolder = root / "app";
            fs::create_directories(libraryFolder);
            program = libraryFolder / kProgram.filename();
            fs::copy_file(kProgram, program);
        }
        for (const fs::path& library : run.libraries) {
            fs::copy_file(library, libraryFolder / library.filename(), fs::copy_options::overwrite_existing);
        }
        if (prepare) {
            prepare(run, outcome.work);
        }
        ChildSpec spec{program, outcome.work, outcome.sdk, run.settings, run.fileSizeLimit, root / "streams"};
        spec.environment.emplace_back("SIMCAM_LOG", (root / "streams" / "calls.log").string());
        specs.push_back(spec);
        outcomes.push_back(outcome);
    }
    const std::vector<ChildResult> results = runChildren(specs);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        outcomes[i].result = results[i];
        outcomes[i].log = readText(specs[i].streamFolder / "calls.log");
    }
    return outcomes;
}

// The calls in the simulator's log, by name ("load" lines keep the library's name).
std::vector<std::string> calls(const std::string& log)
{
    std::vector<std::string> names;
    for (const std::string& line : textLines(log)) {
        names.push_back(line.rfind("load ", 0) == 0 ? line : line.substr(0, line.find(' ')));
    }
    return names;
}

// Replaces each pointer in the report with "PTR", having checked that it is 16 lowercase digits.
std::string withoutPointers(const std::string& report)
{
    std::string lines;
    for (const std::string& line : textLines(report)) {
        lines += std::regex_replace(line, std::regex("buf=(?!0{16})[0-9a-f]{16}$"), "buf=PTR") + "\n";
    }
    return lines;
}

std::vector<std::uint8_t> ramp(std::size_t bytes, unsigned step, unsigned plus)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>((i / step + plus * (i % step)) & 0xFFU);
    }
    return data;
}

std::vector<std::uint8_t> rampGray(std::size_t pixels)
{
    return ramp(pixels, 1, 0);
}

// The test pattern's RGB24: byte 3i+k is gray[i]+k.
std::vector<std::uint8_t> rampRgb(std::size_t pixels)
{
    return ramp(pixels * 3, 3, 1);
}

const std::vector<std::string> kLoads = {"load ThermalSDK.dll", "load CoreSDKLib.dll"};

std::vector<std::string> sdkCalls(std::vector<std::string> middle)
{
    std::vector<std::string> all = kLoads;
    all.insert(all.end(), {"SetNewIRFrameDelegate", "Start"});
    all.insert(all.end(), middle.begin(), middle.end());
    all.insert(all.end(), {"Stop", "delegate"});
    return all;
}

TEST(Binding, FailsSilentlyWithoutBothLibrariesAndLoudlyWithoutAnExport)
{
    struct Case {
        ToolRun run;
        std::string err;
        std::vector<std::string> calls;
    };
    std::vector<Case> cases = {
        {{"thermal missing", {full("CoreSDKLib.dll"), full("SimCamera.dll")}, {}}, "", {"load CoreSDKLib.dll"}},
        {{"core missing", {full("ThermalSDK.dll"), full("SimCamera.dll")}, {}}, "", {"load ThermalSDK.dll"}},
        {{"both missing", {}, {}}, "", {}},
    };
    const char* const exports[] = {"Start", "Stop", "SetNewIRFrameDelegate", "MAG_GetOutputBMPdata",
                                   "MAG_GetOutputBMPdataRGB24"};
    for (const char* name : exports) {
        const bool core = std::string(name).rfind("MAG_", 0) == 0;
        const char* library = core ? "CoreSDKLib.dll" : "ThermalSDK.dll";
        std::vector<fs::path> libraries = {kSimulator / (std::string("without_") + name) / library,
                                           full(core ? "ThermalSDK.dll" : "CoreSDKLib.dll"), full("SimCamera.dll")};
        cases.push_back({{std::string("without ") + name, libraries, {}},
                         std::string("ircapture: ") + library + " has no entry point " + name + "\n",
                         kLoads});
    }
    std::vector<ToolRun> runs;
    for (const Case& test : cases) {
        runs.push_back(test.run);
    }
    const std::vector<Outcome> outcomes = runAll(runs);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].run.name);
        EXPECT_EQ(outcomes[i].result.status, 1);
        EXPECT_EQ(outcomes[i].result.out, "");
        EXPECT_EQ(textLines(outcomes[i].result.err), textLines(cases[i].err));
        // Both loads are tried; no SDK call is made once binding has failed.
        EXPECT_EQ(calls(outcomes[i].log), cases[i].calls);
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
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}), 160 * 120, false},
        {{"test pattern on channel 3",
          fullSdk(),
          {{"SIMCAM_CHANNELS", "1=9x9,3=16x17"}, {"SIMCAM_GRAY_RC", "0=5,1=0"}, {"SIMCAM_SCENE", "ramp"},
           {"SIMCAM_START_RC", "0x1FF"}, {"SIMCAM_RGB24_RC", "-2"}}},
         "Start=255\nchan 0 gray rc=5 buf=0000000000000000\nchan 1 gray rc=0 buf=PTR\nchan 2 gray rc=0 "
         "buf=0000000000000000\nchan 3 gray rc=1 buf=PTR\n  dev w=16 h=17\n  RGB24 rc=-2\n  saved gray=16x17 rgb\n"
         "done\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata",
                   "MAG_GetOutputBMPdataRGB24"}),
         16 * 17, true},
        {{"largest frame", fullSdk(), {{"SIMCAM_CHANNELS", "0=999x999"}, {"SIMCAM_SCENE", "ramp"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=999 h=999\n  RGB24 rc=1\n  saved gray=999x999 rgb\ndone\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}), 999 * 999, true},
        {{"no camera", fullSdk(), {{"SIMCAM_CHANNELS", ""}, {"SIMCAM_START_RC", "0"}}},
         "Start=0\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=0 buf=0000000000000000\nchan 3 gray rc=0 buf=0000000000000000\n"
         "chan 4 gray rc=0 buf=0000000000000000\ndone\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata",
                   "MAG_GetOutputBMPdata"}),
         0, false},
        {{"width out of range", fullSdk(), {{"SIMCAM_CHANNELS", "0=1000x10,1=5x5"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=1000 h=10\ndone\n", sdkCalls({"MAG_GetOutputBMPdata"}), 0, false},
        {{"negative height", fullSdk(), {{"SIMCAM_CHANNELS", "2=10x-2147483648"}}},
         "Start=1\nchan 0 gray rc=0 buf=0000000000000000\nchan 1 gray rc=0 buf=0000000000000000\n"
         "chan 2 gray rc=1 buf=PTR\n  dev w=10 h=-2147483648\ndone\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata", "MAG_GetOutputBMPdata"}), 0, false},
        {{"RGB24 fails", fullSdk(), {{"SIMCAM_RGB24_RC", "0"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=160 h=120\n  RGB24 rc=0\ndone\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}), 0, false},
        {{"delegate called from many threads", fullSdk(), {{"SIMCAM_DELEGATE_THREADS", "3"}, {"SIMCAM_CHANNELS", "0=1x1"}}},
         "Start=1\nchan 0 gray rc=1 buf=PTR\n  dev w=1 h=1\n  RGB24 rc=1\n  saved gray=1x1 rgb\ndone\n",
         sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}), 1, false},
    };
    std::vector<ToolRun> runs;
    for (const Case& test : cases) {
        runs.push_back(test.run);
    }
    // An earlier run's files, which a run that saves nothing must leave alone.
    const std::vector<std::uint8_t> earlier = {0x0A, 0x0D, 0x1A, 0x00};
    const std::vector<Outcome> outcomes = runAll(runs, [&earlier](const ToolRun&, const fs::path& work) {
        writeBytes(work / "official_gray3.bin", earlier);
        writeBytes(work / "official_rgb3.bin", earlier);
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& test = cases[i];
        const Outcome& outcome = outcomes[i];
        SCOPED_TRACE(test.run.name);
        EXPECT_EQ(outcome.result.status, 0);
        EXPECT_EQ(withoutPointers(outcome.result.out), test.report);
        EXPECT_EQ(outcome.result.err, "");
        EXPECT_EQ(calls(outcome.log), test.calls) << outcome.log;
        EXPECT_EQ(outcome.log.find("BREACH"), std::string::npos) << outcome.log;
        EXPECT_NE(outcome.log.find("results=1.."), std::string::npos) << outcome.log;
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
            EXPECT_EQ(gray.size(), test.pixels);
            EXPECT_EQ(rgb.size(), test.pixels * 3);
        }
    }
}

// A file that cannot be saved: the earlier file stays byte for byte, nothing temporary is left,
// the other file is still written when it can be, and the run still stops the SDK.
TEST(WholeRun, FailedSaveKeepsEarlierFilesAndExitsWithTwo)
{
    struct Case {
        ToolRun run;
        const char* folderName;  // an output name taken by a folder, or null
        bool graySaved;
        bool rgbSaved;
        std::vector<std::string> errors;  // the start of each line on standard error
    };
    const std::vector<std::pair<std::string, std::string>> pattern = {{"SIMCAM_SCENE", "ramp"},
                                                                      {"SIMCAM_CHANNELS", "0=160x120"}};
    std::vector<Case> cases = {
        {{"gray name is a folder", fullSdk(), pattern}, "official_gray3.bin", false, true,
         {"ircapture: cannot save official_gray3.bin: "}},
        {{"rgb name is a folder", fullSdk(), pattern}, "official_rgb3.bin", true, false,
         {"ircapture: cannot save official_rgb3.bin: "}},
    };
    if (childFileSizeLimitSupported()) {
        // 160x120 gray is 19200 bytes and its RGB24 57600: the limit lets one through, or neither.
        cases.push_back({{"disk full for rgb", fullSdk(), pattern, 30000}, nullptr, true, false,
                         {"ircapture: cannot save official_rgb3.bin: File too large"}});
        cases.push_back({{"disk full for both", fullSdk(), pattern, 4096}, nullptr, false, false,
                         {"ircapture: cannot save official_gray3.bin: File too large",
                          "ircapture: cannot save official_rgb3.bin: File too large"}});
    }
    const std::vector<std::uint8_t> earlierGray = {1, 2, 3, 0x0A, 0x0D, 0x1A};
    const std::vector<std::uint8_t> earlierRgb = {4, 5, 6};
    std::vector<ToolRun> runs;
    for (const Case& test : cases) {
        runs.push_back(test.run);
    }
    const std::vector<Outcome> outcomes = runAll(runs, [&](const ToolRun& run, const fs::path& work) {
        for (const Case& test : cases) {
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
        const Case& test = cases[i];
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
        EXPECT_EQ(calls(outcome.log), sdkCalls({"MAG_GetOutputBMPdata", "MAG_GetOutputBMPdataRGB24"}));
        EXPECT_EQ(folderEntries(outcome.work), (std::vector<std::string>{"official_gray3.bin", "official_rgb3.bin"}));
        if (test.folderName == nullptr || std::string(test.folderName) != "official_gray3.bin") {
            EXPECT_EQ(readBytes(outcome.work / "official_gray3.bin"), test.graySaved ? rampGray(19200) : earlierGray);
        }
        if (test.folderName == nullptr || std::string(test.folderName) != "official_rgb3.bin") {
            EXPECT_EQ(readBytes(outcome.work / "official_rgb3.bin"), test.rgbSaved ? rampRgb(19200) : earlierRgb);
        }
    }
}

} // namespace
