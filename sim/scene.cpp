#include "scene.h"

#include <cmath>
#include <vector>

namespace {

// A warm object: a soft-edged ellipse, hottest in its middle. Positions are fractions of the
// frame's width and height, radii fractions of its shorter side, so shapes stay round at any size.
struct WarmObject {
    double x;
    double y;
    double radiusX;
    double radiusY;
    double level;  // the gray level at its edge; the middle is a little warmer
};

// How far out an object's soft edge reaches, in its own radii.
constexpr double kEdge = 1.15;

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

double smoothStep(double t)
{
    if (t <= 0.0) {
        return 0.0;
    }
    if (t >= 1.0) {
        return 1.0;
    }
    return t * t * (3.0 - 2.0 * t);
}

int clampToRange(double value, int low, int high)
{
    if (value < static_cast<double>(low)) {
        return low;
    }
    if (value > static_cast<double>(high)) {
        return high;
    }
    return static_cast<int>(value);
}

// Renders row by row: the background, then each object over it within its own reach only, so that
// even 999x999 frames take a few milliseconds.
void renderThermal(std::uint32_t frame, int width, int height, std::uint8_t* gray)
{
    const double kPi = 3.14159265358979323846;
    // At 25 frames a second the moving object crosses the room and back in eight seconds.
    const double phase = static_cast<double>(frame % 200U) * (2.0 * kPi / 200.0);
    const WarmObject objects[] = {
        {0.30, 0.34, 0.11, 0.13, 185.0},                           // a person's head, warmest
        {0.30, 0.80, 0.24, 0.36, 150.0},                           // their body, under clothes
        {0.78, 0.74, 0.07, 0.09, 215.0},                           // a cup of something hot
        {0.55 + 0.30 * std::sin(phase), 0.20, 0.06, 0.06, 120.0},  // a warm object, moving
    };
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const double side = w < h ? w : h;
    std::vector<double> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const double fy = (static_cast<double>(y) + 0.5) / h;
        for (int x = 0; x < width; ++x) {
            // A cool room: a little warmer towards the floor and towards the left.
            const double fx = (static_cast<double>(x) + 0.5) / w;
            row[static_cast<std::size_t>(x)] = 42.0 + 22.0 * fy + 8.0 * (1.0 - fx);
        }
        // Later objects are nearer and cover what is behind them.
        for (const WarmObject& object : objects) {
            const double dy = (fy - object.y) * h / side / object.radiusY;
            if (dy <= -kEdge || dy >= kEdge) {
                continue;
            }
            const double reach = std::sqrt(kEdge * kEdge - dy * dy) * object.radiusX * side;
            const double centre = object.x * w - 0.5;
            const int first = clampToRange(std::floor(centre - reach), 0, width - 1);
            const int last = clampToRange(std::ceil(centre + reach), 0, width - 1);
            for (int x = first; x <= last; ++x) {
                const double fx = (static_cast<double>(x) + 0.5) / w;
                const double dx = (fx - object.x) * w / side / object.radiusX;
                const double distance = std::sqrt(dx * dx + dy * dy);
                if (distance < kEdge) {
                    const double inside = smoothStep((kEdge - distance) / 0.3);
                    const double warm = object.level + 25.0 * (1.0 - distance);
                    double& level = row[static_cast<std::size_t>(x)];
                    level += (warm - level) * inside;
                }
            }
        }
        for (int x = 0; x < width; ++x) {
            const std::uint32_t index =
                static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(width) + static_cast<std::uint32_t>(x);
            double level = row[static_cast<std::size_t>(x)];
            level += static_cast<double>(noiseHash(index ^ (frame * 0x9e3779b9U)) % 7U) - 3.0;
            gray[index] = static_cast<std::uint8_t>(clampToRange(level, 0, 255));
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
