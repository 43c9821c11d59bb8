#include "platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>

void platformAddLibraryFolder(const char* folder)
{
    // SetDllDirectoryA also takes the current directory out of the search order.
    SetDllDirectoryA(folder);
}

void* platformLoadLibrary(const char* fileName)
{
    return LoadLibraryA(fileName);
}

PlatformProc platformFindExport(void* library, const char* name)
{
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    // FARPROC and PlatformProc are both plain function pointers; the copy avoids a cast
    // between unrelated function types.
    PlatformProc proc = nullptr;
    static_assert(sizeof proc == sizeof address, "function pointer sizes differ");
    std::memcpy(&proc, &address, sizeof proc);
    return proc;
}

void platformSleep(unsigned milliseconds)
{
    Sleep(milliseconds);
}

unsigned long platformProcessId()
{
    return GetCurrentProcessId();
}

bool platformReplaceFile(const char* from, const char* to, char* reason, std::size_t reasonSize)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    const DWORD error = GetLastError();
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        reason, static_cast<DWORD>(reasonSize), nullptr);
    if (length == 0) {
        std::snprintf(reason, reasonSize, "system error %lu", static_cast<unsigned long>(error));
        return false;
    }
    // The system's text ends in ".\r\n"; the caller ends the line itself.
    for (DWORD end = length; end > 0 && (reason[end - 1] == '\r' || reason[end - 1] == '\n'); --end) {
        reason[end - 1] = '\0';
    }
    return false;
}
