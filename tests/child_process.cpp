#include "child_process.h"

#include "test_support.h"

#include <cctype>
#include <cstring>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// Our environment, less the simulator's settings and the library path, plus the child's own.
std::vector<std::string> childEnvironment(const ChildSpec& request, const std::vector<std::string>& inherited)
{
#if defined(_WIN32)
    const std::string pathName = "PATH=";
#else
    const std::string pathName = "LD_LIBRARY_PATH=";
#endif
    std::vector<std::string> environment;
    std::string oldPath;
    for (const std::string& entry : inherited) {
        if (startsWithNoCase(entry, "SIMCAM_")) {
            continue;
        }
        if (startsWithNoCase(entry, pathName)) {
            oldPath = entry.substr(pathName.size());
            continue;
        }
        environment.push_back(entry);
    }
#if defined(_WIN32)
    // Windows itself is found through PATH too; the SDK folder goes first.
    environment.push_back(pathName + request.sdkFolder.string() + ";" + oldPath);
#else
    environment.push_back(pathName + request.sdkFolder.string());
#endif
    for (const auto& setting : request.environment) {
        environment.push_back(setting.first + "=" + setting.second);
    }
    return environment;
}

ChildResult collect(const ChildSpec& request, int status)
{
    ChildResult result;
    result.status = status;
    result.out = readText(request.streamFolder / "stdout.txt");
    result.err = readText(request.streamFolder / "stderr.txt");
    return result;
}

}  // namespace

#if defined(_WIN32)

bool childFileSizeLimitSupported()
{
    return false;
}

std::vector<ChildResult> runChildren(const std::vector<ChildSpec>& specs)
{
    std::vector<std::string> inherited;
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
            if (entry[0] != '=') {  // the per-drive current folders are not ours to pass on
                inherited.emplace_back(entry);
            }
        }
        FreeEnvironmentStringsA(block);
    }
    std::vector<PROCESS_INFORMATION> processes(specs.size());
    std::vector<bool> started(specs.size(), false);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const ChildSpec& request = specs[i];
        std::string block;
        for (const std::string& entry : childEnvironment(request, inherited)) {
            block += entry;
            block += '\0';
        }
        block += '\0';
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        const std::string outPath = (request.streamFolder / "stdout.txt").string();
        const std::string errPath = (request.streamFolder / "stderr.txt").string();
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::string commandLine = "\"" + request.program.string() + "\"";
        const std::string program = request.program.string();
        const std::string folder = request.workFolder.string();
        started[i] = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(),
                                    folder.c_str(), &startup, &processes[i]) != 0;
        CloseHandle(out);
        CloseHandle(err);
    }
    std::vector<ChildResult> results;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        int status = -1;
        if (started[i]) {
            WaitForSingleObject(processes[i].hProcess, INFINITE);
            DWORD code = 0;
            GetExitCodeProcess(processes[i].hProcess, &code);
            status = static_cast<int>(code);
            CloseHandle(processes[i].hProcess);
            CloseHandle(processes[i].hThread);
        }
        results.push_back(collect(specs[i], status));
    }
    return results;
}

#else

bool childFileSizeLimitSupported()
{
    return true;
}

std::vector<ChildResult> runChildren(const std::vector<ChildSpec>& specs)
{
    std::vector<std::string> inherited;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        inherited.emplace_back(*entry);
    }
    std::vector<pid_t> children;
    for (const ChildSpec& request : specs) {
        // Everything the child needs is made before fork: after it, only async-signal-safe calls.
        std::vector<std::string> environment = childEnvironment(request, inherited);
        std::vector<char*> envp;
        envp.reserve(environment.size() + 1);
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::string program = request.program.string();
        char* argv[] = {program.data(), nullptr};
        const std::string folder = request.workFolder.string();
        const std::string outPath = (request.streamFolder / "stdout.txt").string();
        const std::string errPath = (request.streamFolder / "stderr.txt").string();
        const pid_t child = fork();
        if (child == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int none = open("/dev/null", O_RDONLY);
            if (out < 0 || err < 0 || none < 0 || dup2(none, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
                chdir(folder.c_str()) != 0) {
                _exit(126);
            }
            if (request.fileSizeLimit >= 0) {
                // The write past the limit then fails with EFBIG instead of killing the child.
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{static_cast<rlim_t>(request.fileSizeLimit),
                                   static_cast<rlim_t>(request.fileSizeLimit)};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    _exit(126);
                }
            }
            execve(program.c_str(), argv, envp.data());
            _exit(127);
        }
        children.push_back(child);
    }
    std::vector<ChildResult> results;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        int status = -1;
        int raw = 0;
        if (children[i] > 0 && waitpid(children[i], &raw, 0) == children[i]) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        results.push_back(collect(specs[i], status));
    }
    return results;
}

#endif
