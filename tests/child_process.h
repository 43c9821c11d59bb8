// Runs the real ircapture as a child process, several at once, each in a folder of its own and
// with the SDK libraries found only in the folder the test chose.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ChildSpec {
    std::filesystem::path program;
    std::filesystem::path workFolder;  // the child's current directory
    std::filesystem::path sdkFolder;   // searched for libraries (LD_LIBRARY_PATH, or first on PATH)
    std::vector<std::pair<std::string, std::string>> environment;  // added to a copy of ours, less SIMCAM_*
    long long fileSizeLimit = -1;        // largest file the child may write, in bytes; -1: no limit
    std::filesystem::path streamFolder;  // where its standard output and error are kept
};

struct ChildResult {
    int status = -1;  // exit status; 128 + signal when killed by one
    std::string out;  // standard output, as written
    std::string err;
};

// Starts every child, then waits for all of them.
std::vector<ChildResult> runChildren(const std::vector<ChildSpec>& specs);

// Whether a file-size limit can be set for a child on this platform.
bool childFileSizeLimitSupported();
