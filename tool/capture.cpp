#include "capture.h"

#include "platform/platform.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

namespace {

void reportSaveFailure(std::FILE* err, const char* name, const char* reason)
{
    std::fprintf(err, "ircapture: cannot save %s: %s\n", name, reason);
}

bool sideInRange(std::int32_t side)
{
    return side >= kMinSide && side <= kMaxSide;
}

// Asks for the RGB24 image of the frame's channel and saves both images. Gives the exit status.
int saveFrame(const SdkApi& sdk, const CaptureContext& context, std::int32_t channel, const std::uint8_t* gray,
              std::int32_t width, std::int32_t height)
{
    // Both sides are 1..999, so these fit easily, and the size fits the SDK's 32-bit argument.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t rgbBytes = pixels * 3U;
    auto* rgb = static_cast<std::uint8_t*>(context.allocate(rgbBytes));
    if (rgb == nullptr) {
        std::fprintf(context.err, "ircapture: cannot allocate %llu bytes for the RGB24 image\n",
                     static_cast<unsigned long long>(rgbBytes));
        return kExitSaveFailed;
    }
    const std::int32_t rgbStatus = sdk.MAG_GetOutputBMPdataRGB24(channel, rgb, static_cast<std::int32_t>(rgbBytes), 1);
    std::fprintf(context.out, "  RGB24 rc=%" PRId32 "\n", rgbStatus);
    int status = kExitOk;
    if (rgbStatus != 0) {
        // Each file is attempted on its own, so that one failure does not cost the other file.
        const bool graySaved = saveFile(kGrayFile, gray, pixels, context.err);
        const bool rgbSaved = saveFile(kRgbFile, rgb, rgbBytes, context.err);
        if (graySaved && rgbSaved) {
            std::fprintf(context.out, "  saved gray=%" PRId32 "x%" PRId32 " rgb\n", width, height);
        } else {
            status = kExitSaveFailed;
        }
    }
    std::free(rgb);
    return status;
}

// Scans the channels in order and handles the first frame found. Gives the exit status.
int scanChannels(const SdkApi& sdk, const CaptureContext& context)
{
    for (std::int32_t channel = kFirstChannel; channel <= kLastChannel; ++channel) {
        std::int32_t scratch = 0;
        std::uint8_t* gray = nullptr;
        const std::int32_t grayStatus = sdk.MAG_GetOutputBMPdata(channel, &scratch, &gray);
        char pointerText[17];
        formatPointer(gray, pointerText);
        std::fprintf(context.out, "chan %" PRId32 " gray rc=%" PRId32 " buf=%s\n", channel, grayStatus, pointerText);
        if (grayStatus == 0 || gray == nullptr) {
            continue;
        }
        // The first frame found ends the scan, whatever becomes of it.
        const std::int32_t width = readGrayWidth(gray);
        const std::int32_t height = readGrayHeight(gray);
        std::fprintf(context.out, "  dev w=%" PRId32 " h=%" PRId32 "\n", width, height);
        if (!sideInRange(width) || !sideInRange(height)) {
            return kExitOk;
        }
        return saveFrame(sdk, context, channel, gray, width, height);
    }
    return kExitOk;
}

}  // namespace

void formatPointer(const void* pointer, char (&text)[17])
{
    static const char digits[] = "0123456789abcdef";
    std::uint64_t value = reinterpret_cast<std::uintptr_t>(pointer);
    for (int i = 15; i >= 0; --i) {
        text[i] = digits[value & 0xFU];
        value >>= 4U;
    }
    text[16] = '\0';
}

bool saveFile(const char* name, const void* data, std::size_t size, std::FILE* err)
{
    // A name of our own in the same folder, so that the final move stays on one file system and
    // two runs at once do not write into each other's temporary file.
    char temporary[64];
    std::snprintf(temporary, sizeof temporary, "%s.%lu.tmp", name, platformProcessId());

    std::FILE* file = std::fopen(temporary, "wb");
    if (file == nullptr) {
        reportSaveFailure(err, name, std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    int error = errno;
    // Closing flushes what the stream still holds, so its failure is a failed write too.
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) {
        error = errno;
    }
    if (!written || !closed) {
        std::remove(temporary);
        reportSaveFailure(err, name, std::strerror(error));
        return false;
    }
    char reason[256];
    if (!platformReplaceFile(temporary, name, reason, sizeof reason)) {
        std::remove(temporary);
        reportSaveFailure(err, name, reason);
        return false;
    }
    return true;
}

int runCapture(const SdkApi& sdk, const CaptureContext& context)
{
    sdk.SetNewIRFrameDelegate(onIR);
    // Only the low byte of Start's result is a status; the run goes on whatever it says.
    const unsigned startStatus = static_cast<unsigned>(sdk.Start()) & 0xFFU;
    std::fprintf(context.out, "Start=%u\n", startStatus);
    // The start line must be out before the pause, for whoever watches the console.
    std::fflush(context.out);
    context.wait(kStartWaitMs);

    const int status = scanChannels(sdk, context);

    sdk.Stop();
    std::fprintf(context.out, "done\n");
    return status;
}
