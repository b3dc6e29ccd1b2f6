#pragma once
// PNG previews of the generated pictures, for a person to look at.
#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGBA pixels stored bottom row first as a PNG (top row first, as PNG wants).
// Returns false when the file cannot be written.
bool write_png(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba_bottom_first);
