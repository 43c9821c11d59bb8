#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>

namespace fs = std::filesystem;

namespace {

std::mutex g_foldersMutex;
std::vector<fs::path> g_folders;

// Removes every scratch folder when the whole program has passed; after a failure they stay, to be
// looked at.
class ScratchCleanup : public ::testing::Environment {
  public:
    void TearDown() override
    {
        if (::testing::UnitTest::GetInstance()->Failed()) {
            return;
        }
        std::lock_guard<std::mutex> lock(g_foldersMutex);
        for (const fs::path& folder : g_folders) {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
        g_folders.clear();
    }
};

// gtest owns and deletes the environment.
::testing::Environment* const g_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

}  // namespace

fs::path makeScratchFolder(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() / ("ircapture-test-" + name + "-" + std::to_string(stamp) + "-" +
                                                   std::to_string(counter.fetch_add(1)));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::lock_guard<std::mutex> lock(g_foldersMutex);
    g_folders.push_back(folder);
    return folder;
}

std::vector<std::uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> textLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}
