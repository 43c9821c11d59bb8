#include "fake_sdk.h"

#include <cstring>

namespace {

FakeSdkSetup g_setup;
std::vector<std::string> g_calls;
// Per channel: one byte of padding, the 20 header bytes the tool may read, then the pixels, so
// that the header sits at an odd address and a misaligned read would show under the sanitizers.
std::vector<std::uint8_t> g_memory[5];
constexpr std::size_t kPixelOffset = 1 + 20;

void record(const std::string& call)
{
    g_calls.push_back(call);
}

void storeLittleEndian(std::uint8_t* bytes, std::int32_t value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (unsigned i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(bits >> (8U * i));
    }
}

std::size_t pixelCount(const FakeChannel& channel)
{
    if (channel.width < 1 || channel.height < 1 || channel.width > 4096 || channel.height > 4096) {
        return 0;
    }
    return static_cast<std::size_t>(channel.width) * static_cast<std::size_t>(channel.height);
}

int fakeStart()
{
    record("Start");
    return g_setup.startResult;
}

int fakeStop()
{
    record("Stop");
    return 1;
}

int fakeSetDelegate(SdkFrameDelegate delegate)
{
    record(delegate == onIR ? "SetNewIRFrameDelegate onIR" : "SetNewIRFrameDelegate other");
    return 1;
}

std::int32_t fakeGetGray(std::int32_t channel, std::int32_t* scratch, std::uint8_t** gray)
{
    record("gray " + std::to_string(channel));
    if (*scratch != 0 || *gray != nullptr) {
        record("BREACH gray arguments not cleared");
    }
    if (channel < 0 || channel > 4) {
        record("BREACH channel out of range");
        return 0;
    }
    const FakeChannel& setup = g_setup.channels[channel];
    *scratch = 12345;  // never to be read by the tool
    *gray = setup.frame ? g_memory[channel].data() + kPixelOffset : nullptr;
    return setup.status;
}

std::int32_t fakeGetRgb24(std::int32_t channel, std::uint8_t* buffer, std::int32_t size, std::int32_t mode)
{
    record("rgb " + std::to_string(channel) + " size=" + std::to_string(size) + " mode=" + std::to_string(mode));
    if (buffer == nullptr || size <= 0) {
        record("BREACH rgb buffer");
        return 0;
    }
    if (g_setup.rgbStatus != 0) {
        const std::vector<std::uint8_t> image = fakeRgbImage(static_cast<std::size_t>(size));
        std::memcpy(buffer, image.data(), image.size());
    }
    return g_setup.rgbStatus;
}

}  // namespace

void fakeSdkReset(const FakeSdkSetup& setup)
{
    g_setup = setup;
    g_calls.clear();
    for (int channel = 0; channel < 5; ++channel) {
        const FakeChannel& fake = setup.channels[channel];
        const std::size_t pixels = pixelCount(fake);
        std::vector<std::uint8_t>& memory = g_memory[channel];
        memory.assign(kPixelOffset + pixels, 0xEE);
        storeLittleEndian(memory.data() + kPixelOffset - 20, fake.width);
        storeLittleEndian(memory.data() + kPixelOffset - 16, fake.height);
        // Every byte value, the line ends and Ctrl-Z among them, so that a text-mode write shows.
        for (std::size_t i = 0; i < pixels; ++i) {
            memory[kPixelOffset + i] = static_cast<std::uint8_t>((i * 7U + static_cast<std::size_t>(channel)) & 0xFFU);
        }
    }
}

SdkApi fakeSdkApi()
{
    SdkApi api;
    api.Start = fakeStart;
    api.Stop = fakeStop;
    api.SetNewIRFrameDelegate = fakeSetDelegate;
    api.MAG_GetOutputBMPdata = fakeGetGray;
    api.MAG_GetOutputBMPdataRGB24 = fakeGetRgb24;
    return api;
}

const std::vector<std::string>& fakeSdkCalls()
{
    return g_calls;
}

void fakeWait(unsigned milliseconds)
{
    record("wait " + std::to_string(milliseconds));
}

const std::uint8_t* fakeGrayPixels(int channel)
{
    return g_setup.channels[channel].frame ? g_memory[channel].data() + kPixelOffset : nullptr;
}

std::vector<std::uint8_t> fakeRgbImage(std::size_t bytes)
{
    std::vector<std::uint8_t> image(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        image[i] = static_cast<std::uint8_t>((i * 5U + 1U) & 0xFFU);
    }
    return image;
}
