#include "sdk_api.h"

#include "platform/platform.h"

#include <atomic>
#include <cstring>

namespace {

// Calls of onIR so far. Unsigned, so that it wraps instead of overflowing after 2^32 frames.
std::atomic<std::uint32_t> g_frames{0};

// Finds one export and stores it in `entry`; prints the missing name otherwise.
template <typename Fn>
bool bindExport(void* library, const char* libraryName, const char* exportName, Fn& entry, std::FILE* err)
{
    const PlatformProc proc = platformFindExport(library, exportName);
    if (proc == nullptr) {
        std::fprintf(err, "ircapture: %s has no entry point %s\n", libraryName, exportName);
        return false;
    }
    // Copied rather than cast: the export's real type is known only from the SDK's contract.
    static_assert(sizeof entry == sizeof proc, "function pointer sizes differ");
    std::memcpy(&entry, &proc, sizeof entry);
    return true;
}

std::int32_t readLittleEndian32(const std::uint8_t* bytes)
{
    // Byte by byte: the header may be misaligned, and the value is little-endian whatever the host.
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8U) |
                                (static_cast<std::uint32_t>(bytes[2]) << 16U) |
                                (static_cast<std::uint32_t>(bytes[3]) << 24U);
    std::int32_t result = 0;
    std::memcpy(&result, &value, sizeof result);
    return result;
}

}  // namespace

bool loadSdk(SdkApi& api, std::FILE* err)
{
    platformAddLibraryFolder(kSdkFolder);
    // Both loads are tried before either result is looked at.
    api.thermalLibrary = platformLoadLibrary(kThermalLibrary);
    api.coreLibrary = platformLoadLibrary(kCoreLibrary);
    if (api.thermalLibrary == nullptr || api.coreLibrary == nullptr) {
        return false;
    }
    return bindExport(api.thermalLibrary, kThermalLibrary, "Start", api.Start, err) &&
           bindExport(api.thermalLibrary, kThermalLibrary, "Stop", api.Stop, err) &&
           bindExport(api.thermalLibrary, kThermalLibrary, "SetNewIRFrameDelegate", api.SetNewIRFrameDelegate, err) &&
           bindExport(api.coreLibrary, kCoreLibrary, "MAG_GetOutputBMPdata", api.MAG_GetOutputBMPdata, err) &&
           bindExport(api.coreLibrary, kCoreLibrary, "MAG_GetOutputBMPdataRGB24", api.MAG_GetOutputBMPdataRGB24, err);
}

std::int32_t readGrayWidth(const std::uint8_t* gray)
{
    return readLittleEndian32(gray - 20);
}

std::int32_t readGrayHeight(const std::uint8_t* gray)
{
    return readLittleEndian32(gray - 16);
}

int onIR(void* /*frame*/, void* /*context*/)
{
    const std::uint32_t count = g_frames.fetch_add(1U, std::memory_order_relaxed) + 1U;
    int result = 0;
    std::memcpy(&result, &count, sizeof result);
    return result;
}
