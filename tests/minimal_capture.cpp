// The least a capture can do, for the benchmark to hold ircapture against: the same SDK calls, the
// same pause and the same two files, without any of ircapture's checks, reports or safe saving.
// Linux only; it is not a tool, only a yardstick.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int g_calls = 0;

int onFrame(void* /*frame*/, void* /*context*/)
{
    return ++g_calls;
}

template <typename Fn> Fn find(void* library, const char* name)
{
    void* address = dlsym(library, name);
    Fn entry = nullptr;
    std::memcpy(&entry, &address, sizeof entry);
    return entry;
}

}  // namespace

int main()
{
    void* thermal = dlopen("ThermalSDK.dll", RTLD_NOW);
    void* core = dlopen("CoreSDKLib.dll", RTLD_NOW);
    if (thermal == nullptr || core == nullptr) {
        return 1;
    }
    auto start = find<int (*)()>(thermal, "Start");
    auto stop = find<int (*)()>(thermal, "Stop");
    auto setDelegate = find<int (*)(int (*)(void*, void*))>(thermal, "SetNewIRFrameDelegate");
    auto getGray = find<std::int32_t (*)(std::int32_t, std::int32_t*, std::uint8_t**)>(core, "MAG_GetOutputBMPdata");
    auto getRgb = find<std::int32_t (*)(std::int32_t, std::uint8_t*, std::int32_t, std::int32_t)>(
        core, "MAG_GetOutputBMPdataRGB24");
    setDelegate(onFrame);
    std::printf("Start=%d\n", start() & 0xFF);
    std::fflush(stdout);
    sleep(3);
    for (std::int32_t channel = 0; channel <= 4; ++channel) {
        std::int32_t scratch = 0;
        std::uint8_t* gray = nullptr;
        if (getGray(channel, &scratch, &gray) == 0 || gray == nullptr) {
            continue;
        }
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::memcpy(&width, gray - 20, 4);
        std::memcpy(&height, gray - 16, 4);
        if (width >= 1 && width <= 999 && height >= 1 && height <= 999) {
            const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            auto* rgb = static_cast<std::uint8_t*>(std::malloc(pixels * 3));
            if (rgb != nullptr && getRgb(channel, rgb, static_cast<std::int32_t>(pixels * 3), 1) != 0) {
                std::FILE* file = std::fopen("official_gray3.bin", "wb");
                std::fwrite(gray, 1, pixels, file);
                std::fclose(file);
                file = std::fopen("official_rgb3.bin", "wb");
                std::fwrite(rgb, 1, pixels * 3, file);
                std::fclose(file);
            }
            std::free(rgb);
        }
        break;
    }
    stop();
    std::printf("done\n");
    return 0;
}
