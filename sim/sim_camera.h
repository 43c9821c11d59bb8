// The simulated camera behind the stand-in "ThermalSDK.dll" and "CoreSDKLib.dll". Both libraries
// forward to this one engine (its own library, "SimCamera.dll"), so they share one camera, as the
// vendor's pair does. Settings come from SIMCAM_* environment variables, read once; see README.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(SIMCAMERA_BUILDING)
#define SIMCAMERA_API __declspec(dllexport)
#else
#define SIMCAMERA_API __declspec(dllimport)
#endif
#define SIM_EXPORT extern "C" __declspec(dllexport)
#else
#define SIMCAMERA_API __attribute__((visibility("default")))
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using SimDelegate = int (*)(void* frame, void* context);

// Records that one of the SDK libraries has been loaded into the process.
SIMCAMERA_API void simNoteLoad(const char* library);

SIMCAMERA_API int simStart();
SIMCAMERA_API int simStop();
SIMCAMERA_API int simSetDelegate(SimDelegate delegate);
SIMCAMERA_API std::int32_t simGetGray(std::int32_t channel, std::int32_t* scratch, std::uint8_t** gray);
SIMCAMERA_API std::int32_t simGetRgb24(std::int32_t channel, std::uint8_t* buffer, std::int32_t size,
                                       std::int32_t mode);
