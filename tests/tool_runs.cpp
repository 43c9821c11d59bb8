#include "tool_runs.h"

#include "test_support.h"

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

const fs::path kSimulator = IRCAPTURE_SIMULATOR_DIR;  // full/ and without_<export>/

std::vector<std::uint8_t> ramp(std::size_t bytes, unsigned step, unsigned plus)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>((i / step + plus * (i % step)) & 0xFFU);
    }
    return data;
}

}  // namespace

const fs::path& programPath()
{
    static const fs::path program = IRCAPTURE_PROGRAM;
    return program;
}

fs::path simulatorLibrary(const char* library)
{
    return kSimulator / "full" / library;
}

fs::path simulatorLibraryWithout(const char* entry, const char* library)
{
    return kSimulator / (std::string("without_") + entry) / library;
}

std::vector<fs::path> fullSdk()
{
    return {simulatorLibrary("ThermalSDK.dll"), simulatorLibrary("CoreSDKLib.dll"), simulatorLibrary("SimCamera.dll")};
}

std::vector<Outcome> runAll(const std::vector<ToolRun>& runs,
                            const std::function<void(const ToolRun&, const fs::path&)>& prepare)
{
    std::vector<ChildSpec> specs;
    std::vector<Outcome> outcomes;
    for (const ToolRun& run : runs) {
        const fs::path root = makeScratchFolder("binary");
        const fs::path streams = root / "streams";
        Outcome outcome{root / "work", {}, {}};
        fs::create_directories(outcome.work);
        fs::create_directories(streams);
        fs::path program = programPath();
        fs::path libraryFolder = root / "sdk";
        fs::create_directories(libraryFolder);
        if (run.besideProgram) {
            libraryFolder = root / "app";
            fs::create_directories(libraryFolder);
            program = libraryFolder / programPath().filename();
            fs::copy_file(programPath(), program);
        }
        for (const fs::path& library : run.libraries) {
            fs::copy_file(library, libraryFolder / library.filename(), fs::copy_options::overwrite_existing);
        }
        if (prepare) {
            prepare(run, outcome.work);
        }
        const fs::path sdkFolder = run.sdkFolder.empty() ? root / "sdk" : run.sdkFolder;
        ChildSpec request{program, outcome.work, sdkFolder, run.settings, run.fileSizeLimit, streams};
        request.environment.emplace_back("SIMCAM_LOG", (streams / "calls.log").string());
        specs.push_back(request);
        outcomes.push_back(outcome);
    }
    const std::vector<ChildResult> results = runChildren(specs);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        outcomes[i].result = results[i];
        outcomes[i].log = readText(specs[i].streamFolder / "calls.log");
    }
    return outcomes;
}

std::vector<std::string> loggedCalls(const std::string& log)
{
    std::vector<std::string> names;
    for (const std::string& line : textLines(log)) {
        names.push_back(line.rfind("load ", 0) == 0 ? line : line.substr(0, line.find(' ')));
    }
    return names;
}

std::vector<std::string> boundCalls(const std::vector<std::string>& queries)
{
    std::vector<std::string> all = {"load ThermalSDK.dll", "load CoreSDKLib.dll", "SetNewIRFrameDelegate", "Start"};
    all.insert(all.end(), queries.begin(), queries.end());
    all.insert(all.end(), {"Stop", "delegate"});
    return all;
}

std::string withoutPointers(const std::string& report)
{
    std::string lines;
    for (std::string line : textLines(report)) {
        // "buf=" and 16 lowercase hex digits end a channel line; all zeros stays as it is.
        const std::size_t at = line.rfind("buf=");
        if (at != std::string::npos && line.size() == at + 4 + 16) {
            const std::string digits = line.substr(at + 4);
            if (digits.find_first_not_of("0123456789abcdef") == std::string::npos && digits != "0000000000000000") {
                line.replace(at + 4, 16, "PTR");
            }
        }
        lines += line + "\n";
    }
    return lines;
}

std::vector<std::uint8_t> rampGray(std::size_t pixels)
{
    return ramp(pixels, 1, 0);
}

std::vector<std::uint8_t> rampRgb(std::size_t pixels)
{
    return ramp(pixels * 3, 3, 1);
}

void recordFigure(const std::string& name, std::size_t count)
{
    const char* path = std::getenv("IRCAPTURE_FIGURES");
    if (path == nullptr || *path == '\0') {
        return;
    }
    if (std::FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s: %llu\n", name.c_str(), static_cast<unsigned long long>(count));
        std::fclose(file);
    }
}
