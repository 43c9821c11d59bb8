// The simulated camera's engine: its settings, its call log, its channels and its frame thread.
// It never prints and never ends the process: whatever it finds wrong in how it is called goes
// to the call log as a "BREACH" line, and it answers as the SDK's contract allows.
#include "sim_camera.h"

#include "scene.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kChannels = 5;
constexpr std::size_t kHeaderBytes = 32;
// The simulator makes pixels only for sizes it can hold; other sizes get a header alone, which is
// all a caller that checks the size reads.
constexpr std::int64_t kMaxPixels = 4096LL * 4096LL;
// The delegate's results are checked against a bitmap of this many results: enough for 11 hours of
// frames, and with load threads for the 2^28 calls they can make at full speed in a few seconds.
constexpr std::size_t kResultsChecked = std::size_t{1} << 20U;
constexpr std::size_t kResultsCheckedUnderLoad = std::size_t{1} << 28U;

struct ChannelSetting {
    bool camera = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool statusSet = false;
    std::int32_t status = 0;
};

struct Settings {
    ChannelSetting channels[kChannels];
    std::int32_t startStatus = 1;
    std::int32_t rgbStatus = 1;
    int framesPerSecond = 25;
    int loadThreads = 0;
    SimScene scene = SimScene::Thermal;
    std::string logPath;
    std::vector<std::string> problems;  // settings that could not be read, logged at the first call
};

// What one channel last handed out: the header and pixels of one frame. It stays where it is until
// the same channel is asked again, so a caller may read it after later calls on other channels.
struct ChannelOutput {
    std::vector<std::uint8_t> memory;
    bool valid = false;
    std::uint32_t frame = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

std::mutex g_logMutex;
std::mutex g_stateMutex;  // everything below, but the frame count and the delegate
std::condition_variable g_wake;
bool g_started = false;
bool g_stopped = false;
bool g_stopRequested = false;
ChannelOutput g_outputs[kChannels];
std::vector<std::thread*> g_threads;
// What the delegate handed back: one bit per result seen, and the calls that broke the rule.
std::unique_ptr<std::atomic<std::uint64_t>[]> g_seen;
std::size_t g_seenBits = 0;
std::atomic<std::uint64_t> g_delegateCalls{0};
std::atomic<std::uint64_t> g_repeatedResults{0};
std::atomic<std::uint64_t> g_resultsOutOfRange{0};
std::atomic<std::uint32_t> g_frame{0};
std::atomic<SimDelegate> g_delegate{nullptr};
std::atomic<bool> g_running{false};
// Time spent inside the two image calls, which do the simulator's real work: logged at Stop, so
// that a benchmark can tell the SDK's time from the caller's.
std::atomic<long long> g_busyMicroseconds{0};

class BusyTimer {
  public:
    BusyTimer() = default;
    BusyTimer(const BusyTimer&) = delete;
    BusyTimer& operator=(const BusyTimer&) = delete;
    ~BusyTimer()
    {
        const auto spent = std::chrono::steady_clock::now() - started_;
        g_busyMicroseconds.fetch_add(std::chrono::duration_cast<std::chrono::microseconds>(spent).count());
    }

  private:
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

bool parseInt(const std::string& text, long long low, long long high, std::int32_t& value)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<std::int32_t>(parsed);
    return true;
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find(',', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string item = text.substr(begin, end - begin);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (!item.empty()) {
            items.push_back(item);
        }
        begin = end + 1;
    }
    return items;
}

// Splits "key=value" where key is a channel number 0..4.
bool parseChannelItem(const std::string& item, int& channel, std::string& value)
{
    const std::size_t equals = item.find('=');
    std::int32_t parsed = 0;
    if (equals == std::string::npos || !parseInt(item.substr(0, equals), 0, kChannels - 1, parsed)) {
        return false;
    }
    channel = parsed;
    value = item.substr(equals + 1);
    return true;
}

void readChannels(Settings& settings, const char* text)
{
    for (const std::string& item : splitList(text)) {
        int channel = 0;
        std::string size;
        std::int32_t width = 0;
        std::int32_t height = 0;
        bool ok = parseChannelItem(item, channel, size);
        const std::size_t cross = size.find('x');
        ok = ok && cross != std::string::npos && parseInt(size.substr(0, cross), INT32_MIN, INT32_MAX, width) &&
             parseInt(size.substr(cross + 1), INT32_MIN, INT32_MAX, height);
        if (!ok) {
            settings.problems.push_back("SIMCAM_CHANNELS item \"" + item + "\" is not CHANNEL=WIDTHxHEIGHT");
            continue;
        }
        settings.channels[channel].camera = true;
        settings.channels[channel].width = width;
        settings.channels[channel].height = height;
    }
}

void readStatuses(Settings& settings, const char* text)
{
    for (const std::string& item : splitList(text)) {
        int channel = 0;
        std::string status;
        std::int32_t value = 0;
        if (!parseChannelItem(item, channel, status) || !parseInt(status, INT32_MIN, INT32_MAX, value)) {
            settings.problems.push_back("SIMCAM_GRAY_RC item \"" + item + "\" is not CHANNEL=STATUS");
            continue;
        }
        settings.channels[channel].statusSet = true;
        settings.channels[channel].status = value;
    }
}

void readNumber(Settings& settings, const char* name, long long low, long long high, std::int32_t& value)
{
    const char* text = std::getenv(name);
    if (text != nullptr && !parseInt(text, low, high, value)) {
        settings.problems.push_back(std::string(name) + " \"" + text + "\" is not a number in range");
    }
}

Settings readSettings()
{
    Settings settings;
    const char* channels = std::getenv("SIMCAM_CHANNELS");
    readChannels(settings, channels != nullptr ? channels : "0=160x120");
    if (const char* statuses = std::getenv("SIMCAM_GRAY_RC")) {
        readStatuses(settings, statuses);
    }
    // Statuses are 32-bit; hexadecimal such as 0x1FF is welcome.
    readNumber(settings, "SIMCAM_START_RC", INT32_MIN, UINT32_MAX, settings.startStatus);
    readNumber(settings, "SIMCAM_RGB24_RC", INT32_MIN, UINT32_MAX, settings.rgbStatus);
    std::int32_t number = settings.framesPerSecond;
    readNumber(settings, "SIMCAM_FPS", 1, 1000, number);
    settings.framesPerSecond = number;
    number = settings.loadThreads;
    readNumber(settings, "SIMCAM_DELEGATE_THREADS", 0, 64, number);
    settings.loadThreads = number;
    if (const char* scene = std::getenv("SIMCAM_SCENE")) {
        if (std::strcmp(scene, "ramp") == 0) {
            settings.scene = SimScene::Ramp;
        } else if (std::strcmp(scene, "thermal") != 0) {
            settings.problems.push_back(std::string("SIMCAM_SCENE \"") + scene + "\" is neither thermal nor ramp");
        }
    }
    if (const char* log = std::getenv("SIMCAM_LOG")) {
        settings.logPath = log;
    }
    return settings;
}

void writeLogLine(const std::string& path, const char* line)
{
    if (path.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_logMutex);
    // Opened for each line, so that the log is complete whenever the process ends.
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\n", line);
        std::fclose(file);
    }
}

const Settings& currentSettings()
{
    static const Settings loaded = [] {
        Settings read = readSettings();
        for (const std::string& problem : read.problems) {
            writeLogLine(read.logPath, ("SETTING " + problem).c_str());
        }
        return read;
    }();
    return loaded;
}

// printf-style, so that each call in the SDK's entry points stays one readable line; where the
// compiler can, it checks each call's arguments against its format.
#if defined(__GNUC__)
#define SIM_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define SIM_PRINTF_FORMAT
#endif
void logLine(const char* format, ...) SIM_PRINTF_FORMAT;

// NOLINTNEXTLINE(cert-dcl50-cpp)
void logLine(const char* format, ...)
{
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    writeLogLine(currentSettings().logPath, line);
}

// Calls the delegate once and marks its result as seen.
void callDelegate()
{
    const SimDelegate delegate = g_delegate.load();
    if (delegate == nullptr) {
        return;
    }
    const int result = delegate(nullptr, nullptr);
    g_delegateCalls.fetch_add(1U);
    if (result < 1 || static_cast<std::size_t>(result) >= g_seenBits) {
        g_resultsOutOfRange.fetch_add(1U);
        return;
    }
    const auto index = static_cast<std::size_t>(result);
    const std::uint64_t bit = std::uint64_t{1} << (index % 64U);
    if ((g_seen[index / 64U].fetch_or(bit) & bit) != 0U) {
        g_repeatedResults.fetch_add(1U);
    }
}

// The camera's own thread: one frame every 1/fps seconds, the delegate called for each.
void frameThread()
{
    const auto period = std::chrono::microseconds(1000000 / currentSettings().framesPerSecond);
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(g_stateMutex);
    while (!g_stopRequested) {
        lock.unlock();
        g_frame.fetch_add(1U);
        callDelegate();
        lock.lock();
        next += period;
        g_wake.wait_until(lock, next, [] { return g_stopRequested; });
    }
}

// A load thread: calls the delegate as fast as it can until Stop, to show that concurrent calls are
// safe. It stops early only when the bitmap of results is full.
void loadThread()
{
    while (g_running.load() && g_delegateCalls.load() + 1U < g_seenBits) {
        callDelegate();
    }
}

// The delegate hands back its call count: over one run its results must be 1..N, each once.
void checkDelegateResults()
{
    const std::uint64_t calls = g_delegateCalls.load();
    bool contiguous = g_repeatedResults.load() == 0U && g_resultsOutOfRange.load() == 0U;
    for (std::uint64_t result = 1; contiguous && result <= calls; ++result) {
        const auto index = static_cast<std::size_t>(result);
        contiguous = (g_seen[index / 64U].load() & (std::uint64_t{1} << (index % 64U))) != 0U;
    }
    const auto count = static_cast<unsigned long long>(calls);
    if (contiguous) {
        logLine("delegate calls=%llu results=1..%llu", count, count);
    } else {
        logLine("BREACH delegate results over %llu calls are not 1..%llu, each once (%llu repeated, %llu out of range)",
                count, count, static_cast<unsigned long long>(g_repeatedResults.load()),
                static_cast<unsigned long long>(g_resultsOutOfRange.load()));
    }
}

std::int32_t pixelsOf(std::int32_t width, std::int32_t height)
{
    if (width < 1 || height < 1 || static_cast<std::int64_t>(width) * height > kMaxPixels) {
        return 0;
    }
    return width * height;
}

void storeLittleEndian32(std::uint8_t* bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8U * static_cast<unsigned>(i)));
    }
}

// Fills the channel's output with the current frame. The header, 32 bytes in front of the pixels:
// "SIMC", frame number, bytes per pixel, width, height (at -20 and -16 from the first pixel),
// then the scene's coolest and hottest possible levels and a reserved word.
void fillOutput(ChannelOutput& output, const ChannelSetting& channel)
{
    const std::int32_t pixels = pixelsOf(channel.width, channel.height);
    output.memory.assign(kHeaderBytes + static_cast<std::size_t>(pixels), 0);
    output.frame = g_frame.load();
    output.width = channel.width;
    output.height = channel.height;
    output.valid = true;
    std::uint8_t* header = output.memory.data();
    const std::uint8_t magic[4] = {'S', 'I', 'M', 'C'};
    std::memcpy(header, magic, sizeof magic);
    storeLittleEndian32(header + 4, output.frame);
    storeLittleEndian32(header + 8, 1U);
    storeLittleEndian32(header + 12, static_cast<std::uint32_t>(channel.width));
    storeLittleEndian32(header + 16, static_cast<std::uint32_t>(channel.height));
    storeLittleEndian32(header + 20, 0U);
    storeLittleEndian32(header + 24, 255U);
    if (pixels > 0) {
        renderGray(currentSettings().scene, output.frame, channel.width, channel.height, header + kHeaderBytes);
    }
}

// Checks that the SDK is running for a query; logs a breach otherwise.
bool runningForQuery(const char* call)
{
    if (!g_started) {
        logLine("BREACH %s called before Start", call);
        return false;
    }
    if (g_stopped) {
        logLine("BREACH %s called after Stop", call);
        return false;
    }
    return true;
}

}  // namespace

void simNoteLoad(const char* library)
{
    logLine("load %s", library);
}

int simSetDelegate(SimDelegate delegate)
{
    logLine("SetNewIRFrameDelegate delegate=%s", delegate != nullptr ? "set" : "null");
    if (delegate == nullptr) {
        logLine("BREACH SetNewIRFrameDelegate called with a null delegate");
    }
    g_delegate.store(delegate);
    return 1;
}

int simStart()
{
    std::lock_guard<std::mutex> lock(g_stateMutex);
    const int status = currentSettings().startStatus;
    logLine("Start -> %d", status);
    if (g_started) {
        logLine("BREACH Start called a second time");
        return status;
    }
    g_started = true;
    g_running.store(true);
    const int threads = 1 + currentSettings().loadThreads;
    g_seenBits = threads > 1 ? kResultsCheckedUnderLoad : kResultsChecked;
    // Value-initialised: every bit starts clear.
    g_seen.reset(new std::atomic<std::uint64_t>[g_seenBits / 64U]());
    for (int i = 0; i < threads; ++i) {
        g_threads.push_back(new std::thread(i == 0 ? frameThread : loadThread));
    }
    return status;
}

int simStop()
{
    std::unique_lock<std::mutex> lock(g_stateMutex);
    if (!g_started || g_stopped) {
        logLine("Stop");
        logLine(g_stopped ? "BREACH Stop called a second time" : "BREACH Stop called before Start");
        return 0;
    }
    g_stopped = true;
    g_stopRequested = true;
    g_running.store(false);
    lock.unlock();
    g_wake.notify_all();
    for (std::thread* thread : g_threads) {
        thread->join();
        delete thread;
    }
    g_threads.clear();
    logLine("Stop frames=%u busy_us=%lld", g_frame.load(), g_busyMicroseconds.load());
    checkDelegateResults();
    return 1;
}

std::int32_t simGetGray(std::int32_t channel, std::int32_t* scratch, std::uint8_t** gray)
{
    const BusyTimer timer;
    std::lock_guard<std::mutex> lock(g_stateMutex);
    if (scratch == nullptr || gray == nullptr) {
        logLine("MAG_GetOutputBMPdata channel=%d -> 0", channel);
        logLine("BREACH MAG_GetOutputBMPdata called with a null %s", scratch == nullptr ? "scratch" : "pointer");
        return 0;
    }
    const bool scratchClear = *scratch == 0;
    const bool pointerClear = *gray == nullptr;
    if (!runningForQuery("MAG_GetOutputBMPdata")) {
        *gray = nullptr;
        return 0;
    }
    if (channel < 0 || channel >= kChannels) {
        logLine("MAG_GetOutputBMPdata channel=%d -> 0", channel);
        logLine("BREACH MAG_GetOutputBMPdata asked for channel %d, outside 0..4", channel);
        *gray = nullptr;
        return 0;
    }
    const ChannelSetting& setting = currentSettings().channels[channel];
    std::int32_t status = setting.camera ? 1 : 0;
    if (setting.camera) {
        ChannelOutput& output = g_outputs[channel];
        fillOutput(output, setting);
        *gray = output.memory.data() + kHeaderBytes;
        // Whatever the SDK stores here, the tool must not rely on it; make it visible.
        *scratch = pixelsOf(setting.width, setting.height);
    } else {
        *gray = nullptr;
    }
    if (setting.statusSet) {
        status = setting.status;
    }
    logLine("MAG_GetOutputBMPdata channel=%d -> %d %s %dx%d", channel, status, *gray != nullptr ? "frame" : "null",
            setting.width, setting.height);
    if (!scratchClear) {
        logLine("BREACH MAG_GetOutputBMPdata scratch value was not 0 before the call");
    }
    if (!pointerClear) {
        logLine("BREACH MAG_GetOutputBMPdata pointer was not null before the call");
    }
    return status;
}

std::int32_t simGetRgb24(std::int32_t channel, std::uint8_t* buffer, std::int32_t size, std::int32_t mode)
{
    const BusyTimer timer;
    std::lock_guard<std::mutex> lock(g_stateMutex);
    logLine("MAG_GetOutputBMPdataRGB24 channel=%d size=%d mode=%d buffer=%s", channel, size, mode,
            buffer != nullptr ? "set" : "null");
    if (!runningForQuery("MAG_GetOutputBMPdataRGB24")) {
        return 0;
    }
    if (channel < 0 || channel >= kChannels || !g_outputs[channel].valid) {
        logLine("BREACH MAG_GetOutputBMPdataRGB24 asked for channel %d, which has handed out no frame", channel);
        return 0;
    }
    const ChannelOutput& output = g_outputs[channel];
    const std::int64_t expected = static_cast<std::int64_t>(pixelsOf(output.width, output.height)) * 3;
    bool fine = true;
    if (buffer == nullptr) {
        logLine("BREACH MAG_GetOutputBMPdataRGB24 buffer is null");
        fine = false;
    }
    if (expected == 0 || size != expected) {
        logLine("BREACH MAG_GetOutputBMPdataRGB24 size %d is not width x height x 3 = %lld", size,
                static_cast<long long>(expected));
        fine = false;
    }
    if (mode != 1) {
        logLine("BREACH MAG_GetOutputBMPdataRGB24 mode %d is not 1", mode);
        fine = false;
    }
    if (!fine) {
        return 0;
    }
    const std::int32_t status = currentSettings().rgbStatus;
    if (status != 0) {
        // The same frame as the channel's gray output, so that the two files agree.
        renderRgb24(currentSettings().scene, output.memory.data() + kHeaderBytes, static_cast<std::size_t>(size / 3),
                    buffer);
    }
    return status;
}
