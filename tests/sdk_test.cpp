// The binding's own logic: the gray header and the new-frame delegate.
#include "sdk/sdk_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <thread>
#include <vector>

namespace {

TEST(GrayHeader, ReadsLittleEndianSignedSidesAtAnyAlignment)
{
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {160, 120}, {999, 1}, {0, -1}, {INT_MIN, INT_MAX}, {0x01020304, -0x01020304}};
    for (const auto& size : sizes) {
        for (std::size_t offset = 0; offset < 4; ++offset) {
            // The header: width at -20, height at -16 from the first pixel; the rest is not read.
            std::vector<std::uint8_t> memory(offset + 21, 0xCC);
            std::uint8_t* pixel = memory.data() + offset + 20;
            const auto width = static_cast<std::uint32_t>(size.first);
            const auto height = static_cast<std::uint32_t>(size.second);
            for (unsigned i = 0; i < 4; ++i) {
                pixel[-20 + static_cast<int>(i)] = static_cast<std::uint8_t>(width >> (8U * i));
                pixel[-16 + static_cast<int>(i)] = static_cast<std::uint8_t>(height >> (8U * i));
            }
            EXPECT_EQ(readGrayWidth(pixel), size.first);
            EXPECT_EQ(readGrayHeight(pixel), size.second);
        }
    }
}

// The SDK may call the delegate from several threads at once: every call still gets a count of
// its own, and together they are the next N numbers.
TEST(FrameDelegate, CountsEveryCallOnceAcrossThreads)
{
    const int first = onIR(nullptr, nullptr);
    constexpr int kThreads = 4;
    constexpr int kCalls = 20000;
    std::vector<std::vector<int>> results(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&results, t] {
            for (int i = 0; i < kCalls; ++i) {
                results[static_cast<std::size_t>(t)].push_back(onIR(nullptr, nullptr));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<int> all;
    for (const std::vector<int>& list : results) {
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
        all.insert(all.end(), list.begin(), list.end());
    }
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kCalls));
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i], first + 1 + static_cast<int>(i));
    }
}

}  // namespace
