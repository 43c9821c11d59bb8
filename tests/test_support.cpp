#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

fs::path makeScratchFolder(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() / ("ircapture-test-" + name + "-" + std::to_string(stamp) + "-" +
                                                   std::to_string(counter.fetch_add(1)));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::vector<std::uint8_t> readBytes(const fs::path& path, bool* exists)
{
    std::ifstream in(path, std::ios::binary);
    if (exists != nullptr) {
        *exists = in.is_open() && fs::is_regular_file(path);
    }
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
