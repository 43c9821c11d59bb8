// A stand-in SDK for driving the capture run in-process: every answer is set by the test, every
// call is recorded, and the SDK's side of the contract is checked on each call.
#pragma once

#include "sdk/sdk_api.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeChannel {
    std::int32_t status = 0;
    bool frame = false;  // hands out a pointer to gray data
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct FakeSdkSetup {
    int startResult = 1;
    FakeChannel channels[5];
    std::int32_t rgbStatus = 1;
};

// Makes the fake answer as `setup` says and forgets earlier calls.
void fakeSdkReset(const FakeSdkSetup& setup);
// The entry points of the fake, as loadSdk would give them.
SdkApi fakeSdkApi();
// One line per call: "SetNewIRFrameDelegate onIR", "Start", "wait 3000", "gray 0",
// "rgb 0 size=57600 mode=1", "Stop"; and "BREACH ..." where the caller broke the contract.
const std::vector<std::string>& fakeSdkCalls();
// Records the run's pause instead of waiting.
void fakeWait(unsigned milliseconds);
// The gray pixels the fake hands out on `channel` (null where it has none).
const std::uint8_t* fakeGrayPixels(int channel);
// What the fake writes as RGB24 for a frame of `bytes` bytes.
std::vector<std::uint8_t> fakeRgbImage(std::size_t bytes);
