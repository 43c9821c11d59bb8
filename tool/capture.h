// One capture run: start the SDK, wait, take the first gray frame of channels 0 to 4 with its
// RGB24 image, save both, stop the SDK. Kept apart from main so that it can be driven with a
// stand-in SDK and without the real wait.
#pragma once

#include "sdk/sdk_api.h"

#include <cstddef>
#include <cstdio>

constexpr int kExitOk = 0;          // every run that got the SDK going and lost no file
constexpr int kExitNoSdk = 1;       // the SDK could not be bound
constexpr int kExitSaveFailed = 2;  // a frame was taken but not saved in full

constexpr unsigned kStartWaitMs = 3000;
constexpr std::int32_t kFirstChannel = 0;
constexpr std::int32_t kLastChannel = 4;
constexpr std::int32_t kMinSide = 1;
constexpr std::int32_t kMaxSide = 999;
constexpr const char* kGrayFile = "official_gray3.bin";
constexpr const char* kRgbFile = "official_rgb3.bin";

// What the run uses besides the SDK; main passes the real ones, tests their own.
struct CaptureContext {
    std::FILE* out;                        // the report
    std::FILE* err;                        // one line per failure
    void (*wait)(unsigned milliseconds);   // the pause after Start
    void* (*allocate)(std::size_t bytes);  // the RGB24 buffer, released with std::free
};

// Runs the capture with an already bound SDK and gives the exit status: kExitOk, or
// kExitSaveFailed when the RGB24 buffer could not be had or a file was not written in full.
int runCapture(const SdkApi& sdk, const CaptureContext& context);

// Formats a pointer as exactly 16 lowercase hexadecimal digits, without prefix, on every platform.
void formatPointer(const void* pointer, char (&text)[17]);

// Writes `size` bytes to `name` through a temporary file in the same folder that is then moved
// over `name`. On failure the temporary file is removed, an existing `name` is left as it was, and
// one line naming the file and the system's reason goes to `err`.
bool saveFile(const char* name, const void* data, std::size_t size, std::FILE* err);
