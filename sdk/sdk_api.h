// The camera SDK as this tool binds and uses it: the two libraries, the five entry points and
// what the tool passes to each and relies on.
#pragma once

#include <cstdint>
#include <cstdio>

// Where the vendor installs the SDK. It is added to the library search path before the two
// libraries are loaded by bare file name.
constexpr const char* kSdkFolder = "C:\\Project\\MAG160C\\IR_Camera_SDK-1.0.1\\windows\\windows\\app";
constexpr const char* kThermalLibrary = "ThermalSDK.dll";
constexpr const char* kCoreLibrary = "CoreSDKLib.dll";

// The SDK's new-frame delegate. The SDK may pass arguments; the tool reads none of them.
using SdkFrameDelegate = int (*)(void* frame, void* context);

// "Start": starts the SDK's own work. Only the low 8 bits of the result are meaningful.
using SdkStartFn = int (*)();
// "Stop": stops it. The result is ignored.
using SdkStopFn = int (*)();
// "SetNewIRFrameDelegate": registers the function the SDK calls for each new frame.
using SdkSetDelegateFn = int (*)(SdkFrameDelegate delegate);
// "MAG_GetOutputBMPdata": the channel's current gray image. The caller sets *scratch to 0 and
// *gray to null before each call. Nonzero status and a non-null *gray mean a frame: *gray then
// points at the first of width x height one-byte pixels, with the width and height stored in a
// header in front of them (see readGrayWidth/readGrayHeight). The memory belongs to the SDK.
using SdkGetGrayFn = std::int32_t (*)(std::int32_t channel, std::int32_t* scratch, std::uint8_t** gray);
// "MAG_GetOutputBMPdataRGB24": renders the channel's current image into a caller-owned buffer
// of `size` = width x height x 3 bytes; `mode` is always 1. Nonzero status means success.
using SdkGetRgb24Fn = std::int32_t (*)(std::int32_t channel, std::uint8_t* buffer, std::int32_t size,
                                       std::int32_t mode);

// One per run, filled by loadSdk and only read afterwards. The libraries are never unloaded.
struct SdkApi {
    void* thermalLibrary = nullptr;
    void* coreLibrary = nullptr;
    SdkStartFn Start = nullptr;
    SdkStopFn Stop = nullptr;
    SdkSetDelegateFn SetNewIRFrameDelegate = nullptr;
    SdkGetGrayFn MAG_GetOutputBMPdata = nullptr;
    SdkGetRgb24Fn MAG_GetOutputBMPdataRGB24 = nullptr;
};

// Adds kSdkFolder to the library search path, loads both libraries and resolves the five entry
// points. Returns true with `api` filled. Returns false when a library cannot be loaded (silently:
// nothing is printed) or when an entry point is missing (one line on `err` names the library and
// the entry point). Call it once, before any other SDK call.
bool loadSdk(SdkApi& api, std::FILE* err);

// The width and height from the header in front of the first gray pixel: little-endian signed
// 32-bit integers at bytes -20..-17 and -16..-13.
std::int32_t readGrayWidth(const std::uint8_t* gray);
std::int32_t readGrayHeight(const std::uint8_t* gray);

// The tool's new-frame delegate. It counts its calls in g_frames and hands back the new count,
// which is distinct for every call even when the SDK calls it from several threads at once.
int onIR(void* frame, void* context);
