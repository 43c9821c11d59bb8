// What the simulated camera sees: a thermal-looking scene, and a fixed test pattern whose every
// byte a test can predict.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SimScene { Thermal, Ramp };

// Renders frame number `frame` of the scene as width x height gray bytes, rows top to bottom.
void renderGray(SimScene scene, std::uint32_t frame, int width, int height, std::uint8_t* gray);

// Renders the same frame as RGB24: three bytes a pixel in the order R, G, B, rows top to bottom.
// The thermal scene goes through the palette below; the test pattern gives byte 3i+k = gray[i]+k.
void renderRgb24(SimScene scene, const std::uint8_t* gray, std::size_t pixels, std::uint8_t* rgb);

// The thermal palette: black, blue, purple, red, orange, yellow, white from cold to hot.
void paletteColour(std::uint8_t level, std::uint8_t* rgb);
