// The few things the tool needs from the operating system, behind free functions so that the
// rest of the code is the same on every platform. platform_win32.cpp calls the Windows API;
// platform_posix.cpp stands in for it on Linux with dlopen/dlsym and nanosleep.
#pragma once

#include <cstddef>

// A generic function pointer: an export is found as this and cast to its real type by the caller.
using PlatformProc = void (*)();

// Adds one folder to the places searched by platformLoadLibrary. A failure is not reported:
// the libraries are still looked for by name. On Linux a folder that is not an absolute path
// is ignored, and the loader's own search (LD_LIBRARY_PATH and the system folders) decides.
void platformAddLibraryFolder(const char* folder);

// Loads a library by bare file name. Gives its handle, or null when it cannot be loaded.
// The current directory is not searched.
void* platformLoadLibrary(const char* fileName);

// Gives the address of the export with exactly this name, or null when there is none.
PlatformProc platformFindExport(void* library, const char* name);

// Blocks the calling thread for about this many milliseconds.
void platformSleep(unsigned milliseconds);

// The process's id, used to give temporary files names that no other running copy uses.
unsigned long platformProcessId();

// Moves the file `from` over `to`, replacing an existing `to` in one step. Returns false on
// failure, with the system's reason in `reason`; `to` is then left as it was.
bool platformReplaceFile(const char* from, const char* to, char* reason, std::size_t reasonSize);
