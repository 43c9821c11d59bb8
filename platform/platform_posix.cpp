#include "platform.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// The one extra folder, as Windows keeps it for SetDllDirectoryA.
std::string g_libraryFolder;

}  // namespace

void platformAddLibraryFolder(const char* folder)
{
    // A Windows folder such as "C:\..." is not an absolute path here; searching it relative to
    // the current directory would be wrong, so it is dropped and the loader's search decides.
    if (folder != nullptr && folder[0] == '/') {
        g_libraryFolder = folder;
    } else {
        g_libraryFolder.clear();
    }
}

void* platformLoadLibrary(const char* fileName)
{
    if (!g_libraryFolder.empty()) {
        const std::string path = g_libraryFolder + "/" + fileName;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return handle;
        }
    }
    // A name without a slash makes dlopen search LD_LIBRARY_PATH and the system folders,
    // never the current directory.
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

PlatformProc platformFindExport(void* library, const char* name)
{
    void* address = dlsym(library, name);
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    PlatformProc proc = nullptr;
    static_assert(sizeof proc == sizeof address, "function and data pointers differ in size");
    std::memcpy(&proc, &address, sizeof proc);
    return proc;
}

void platformSleep(unsigned milliseconds)
{
    timespec left{};
    left.tv_sec = static_cast<time_t>(milliseconds / 1000U);
    left.tv_nsec = static_cast<long>(milliseconds % 1000U) * 1000000L;
    // A signal may end the sleep early; sleep on for what is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

unsigned long platformProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool platformReplaceFile(const char* from, const char* to, char* reason, std::size_t reasonSize)
{
    if (std::rename(from, to) == 0) {
        return true;
    }
    std::snprintf(reason, reasonSize, "%s", std::strerror(errno));
    return false;
}
