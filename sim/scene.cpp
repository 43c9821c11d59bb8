#include "scene.h"

#include <cmath>

namespace {

// A warm object: a soft disc whose centre and radius are fractions of the frame.
struct WarmObject {
    double x;
    double y;
    double radius;
    double heat;  // added to the background at the centre, in gray levels
};

// A cheap, repeatable hash for the sensor noise: the same frame always looks the same.
std::uint32_t noiseHash(std::uint32_t value)
{
    value ^= value >> 16U;
    value *= 0x7feb352dU;
    value ^= value >> 15U;
    value *= 0x846ca68bU;
    value ^= value >> 16U;
    return value;
}

void renderThermal(std::uint32_t frame, int width, int height, std::uint8_t* gray)
{
    const double kPi = 3.14159265358979323846;
    // 25 frames a second: the moving object goes once round its path in about eight seconds.
    const double phase = static_cast<double>(frame % 200U) * (2.0 * kPi / 200.0);
    const WarmObject objects[] = {
        {0.30, 0.40, 0.16, 150.0},                                                    // a warm body
        {0.72, 0.68, 0.10, 95.0},                                                     // a cup, cooler
        {0.50 + 0.30 * std::cos(phase), 0.22 + 0.10 * std::sin(phase), 0.06, 190.0},  // a hot spot, moving
    };
    const double size = static_cast<double>(width < height ? width : height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = (static_cast<double>(x) + 0.5) / static_cast<double>(width);
            const double fy = (static_cast<double>(y) + 0.5) / static_cast<double>(height);
            // A cool room, a little warmer towards the floor.
            double level = 28.0 + 30.0 * fy;
            for (const WarmObject& object : objects) {
                const double dx = (fx - object.x) * static_cast<double>(width) / size;
                const double dy = (fy - object.y) * static_cast<double>(height) / size;
                const double d2 = (dx * dx + dy * dy) / (object.radius * object.radius);
                if (d2 < 4.0) {
                    level += object.heat * std::exp(-1.5 * d2);
                }
            }
            const std::uint32_t index =
                static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(width) + static_cast<std::uint32_t>(x);
            level += static_cast<double>(noiseHash(index ^ (frame * 0x9e3779b9U)) % 7U) - 3.0;
            if (level < 0.0) {
                level = 0.0;
            }
            if (level > 255.0) {
                level = 255.0;
            }
            gray[index] = static_cast<std::uint8_t>(level);
        }
    }
}

}  // namespace

void renderGray(SimScene scene, std::uint32_t frame, int width, int height, std::uint8_t* gray)
{
    if (scene == SimScene::Ramp) {
        const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        for (std::size_t i = 0; i < pixels; ++i) {
            gray[i] = static_cast<std::uint8_t>(i & 0xFFU);
        }
        return;
    }
    renderThermal(frame, width, height, gray);
}

void paletteColour(std::uint8_t level, std::uint8_t* rgb)
{
    static const std::uint8_t stops[7][3] = {
        {0, 0, 0}, {0, 0, 160}, {120, 0, 170}, {220, 30, 40}, {255, 140, 0}, {255, 230, 0}, {255, 255, 255},
    };
    // Six equal steps between the seven stops, interpolated linearly.
    const unsigned scaled = static_cast<unsigned>(level) * 6U;
    const unsigned stop = scaled / 255U < 6U ? scaled / 255U : 5U;
    const unsigned within = scaled - stop * 255U;
    for (int k = 0; k < 3; ++k) {
        const int from = stops[stop][k];
        const int to = stops[stop + 1][k];
        rgb[k] = static_cast<std::uint8_t>(from + (to - from) * static_cast<int>(within) / 255);
    }
}

void renderRgb24(SimScene scene, const std::uint8_t* gray, std::size_t pixels, std::uint8_t* rgb)
{
    for (std::size_t i = 0; i < pixels; ++i) {
        if (scene == SimScene::Ramp) {
            for (std::size_t k = 0; k < 3; ++k) {
                rgb[3 * i + k] = static_cast<std::uint8_t>((gray[i] + k) & 0xFFU);
            }
        } else {
            paletteColour(gray[i], rgb + 3 * i);
        }
    }
}
