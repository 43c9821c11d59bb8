// The simulated camera's pictures: a thermal-looking scene that moves, and its palette.
#include "sim/scene.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

std::vector<std::uint8_t> frameOf(std::uint32_t frame, int width, int height)
{
    std::vector<std::uint8_t> gray(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    renderGray(SimScene::Thermal, frame, width, height, gray.data());
    return gray;
}

double meanOver(const std::vector<std::uint8_t>& gray, int width, int x0, int y0, int x1, int y1)
{
    double sum = 0.0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            sum += gray[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        }
    }
    return sum / static_cast<double>((x1 - x0) * (y1 - y0));
}

TEST(Palette, RunsFromBlackThroughBlueRedAndYellowToWhite)
{
    const struct {
        std::uint8_t level;
        std::uint8_t rgb[3];
    } stops[] = {{0, {0, 0, 0}}, {255, {255, 255, 255}}};
    for (const auto& stop : stops) {
        std::uint8_t rgb[3];
        paletteColour(stop.level, rgb);
        EXPECT_EQ(rgb[0], stop.rgb[0]);
        EXPECT_EQ(rgb[1], stop.rgb[1]);
        EXPECT_EQ(rgb[2], stop.rgb[2]);
    }
    // Cold is blue, warm is red, hotter is yellow.
    std::uint8_t cold[3];
    std::uint8_t warm[3];
    std::uint8_t hot[3];
    paletteColour(50, cold);
    paletteColour(128, warm);
    paletteColour(213, hot);
    EXPECT_GT(cold[2], cold[0]);
    EXPECT_GT(warm[0], warm[2]);
    EXPECT_GT(hot[1], 200);
    // No jumps: neighbouring levels differ by a few steps in each colour at most.
    for (int level = 1; level < 256; ++level) {
        std::uint8_t before[3];
        std::uint8_t after[3];
        paletteColour(static_cast<std::uint8_t>(level - 1), before);
        paletteColour(static_cast<std::uint8_t>(level), after);
        for (int k = 0; k < 3; ++k) {
            EXPECT_LE(std::abs(after[k] - before[k]), 6) << "level " << level << " colour " << k;
        }
    }
}

TEST(ThermalScene, WarmObjectsOnACoolBackgroundOneOfThemMoving)
{
    const int width = 160;
    const int height = 120;
    const std::vector<std::uint8_t> first = frameOf(10, width, height);
    EXPECT_EQ(frameOf(10, width, height), first);  // the same frame looks the same every time

    const double corner = meanOver(first, width, 150, 0, 160, 10);
    const double head = meanOver(first, width, 44, 37, 52, 45);  // the person's head
    const double cup = meanOver(first, width, 122, 86, 128, 92);
    EXPECT_LT(corner, 90.0);
    EXPECT_GT(head, corner + 80.0);
    EXPECT_GT(cup, head);  // objects of different temperatures

    // The moving object's strip changes from frame to frame; the person stays where they are.
    const std::vector<std::uint8_t> later = frameOf(30, width, height);
    const double stripBefore = meanOver(first, width, 0, 18, width, 30);
    EXPECT_NE(meanOver(first, width, 90, 18, 130, 30), meanOver(later, width, 90, 18, 130, 30));
    EXPECT_NEAR(meanOver(later, width, 44, 37, 52, 45), head, 2.0);
    EXPECT_NEAR(meanOver(later, width, 0, 18, width, 30), stripBefore, 3.0);
}

TEST(ThermalScene, RgbIsThePaletteOfTheGrayFrame)
{
    const int width = 37;
    const int height = 5;
    const std::vector<std::uint8_t> gray = frameOf(3, width, height);
    std::vector<std::uint8_t> rgb(gray.size() * 3);
    renderRgb24(SimScene::Thermal, gray.data(), gray.size(), rgb.data());
    for (std::size_t i = 0; i < gray.size(); ++i) {
        std::uint8_t expected[3];
        paletteColour(gray[i], expected);
        ASSERT_EQ(rgb[3 * i], expected[0]);
        ASSERT_EQ(rgb[3 * i + 1], expected[1]);
        ASSERT_EQ(rgb[3 * i + 2], expected[2]);
    }
}

}  // namespace
