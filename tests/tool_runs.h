// Runs of the real ircapture against the simulated SDK, each in scratch folders of its own and
// all started together, so that a table of runs waits the tool's 3-second pause once.
#pragma once

#include "child_process.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One run of the tool: where its SDK comes from, how the simulator is set, what limits it has.
struct ToolRun {
    std::string name;
    std::vector<std::filesystem::path> libraries;  // copied into the run's SDK folder
    std::vector<std::pair<std::string, std::string>> settings;
    long long fileSizeLimit = -1;
    bool besideProgram = false;         // the libraries go beside a copy of the program instead
    std::filesystem::path sdkFolder{};  // when set, the SDK is found here and nothing is copied
};

struct Outcome {
    std::filesystem::path work;  // the run's current directory
    ChildResult result;
    std::string log;  // the simulator's call log
};

// A library of the complete simulator, or of the one built without `entry`.
std::filesystem::path simulatorLibrary(const char* library);
std::filesystem::path simulatorLibraryWithout(const char* entry, const char* library);
std::vector<std::filesystem::path> fullSdk();
const std::filesystem::path& programPath();

// Makes each run's folders, lets `prepare` fill its current directory, then runs all at once.
std::vector<Outcome> runAll(const std::vector<ToolRun>& runs,
                            const std::function<void(const ToolRun&, const std::filesystem::path&)>& prepare = nullptr);

// The runs of a table whose rows hold theirs in `run`.
template <typename Case> std::vector<ToolRun> runsOf(const std::vector<Case>& cases)
{
    std::vector<ToolRun> runs;
    runs.reserve(cases.size());
    for (const Case& test : cases) {
        runs.push_back(test.run);
    }
    return runs;
}

// The calls in the simulator's log, by name ("load" lines keep the library's name).
std::vector<std::string> loggedCalls(const std::string& log);
// The names every bound run logs around what it asks: loads, delegate, Start ... Stop, delegate check.
std::vector<std::string> boundCalls(const std::vector<std::string>& queries);

// The report with each non-null pointer replaced by "PTR", once checked to be 16 lowercase digits;
// line ends normalised to LF.
std::string withoutPointers(const std::string& report);

// The simulator's "ramp" scene: gray byte i is i mod 256, RGB24 byte 3i+k is gray byte i plus k.
std::vector<std::uint8_t> rampGray(std::size_t pixels);
std::vector<std::uint8_t> rampRgb(std::size_t pixels);

// Adds a line "name: count" to the figures file that scripts/test sums up, when it is set.
void recordFigure(const std::string& name, std::size_t count);
