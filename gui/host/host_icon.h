// The program's window icon: the packaged PNG, carried inside the program and decoded when the
// window opens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Icons larger than this on either side are refused (the window manager's property would grow
// without use; the packaged one is 128 x 128).
constexpr int HOSTICON_SIZE_MAX = 256;

struct HOSTICON_Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // 4 bytes per pixel in the order R, G, B, A; rows top to bottom
};

// Decodes a PNG held in memory into straight (not premultiplied) RGBA. False, with the image
// left empty, for anything that is not a whole PNG of 1..HOSTICON_SIZE_MAX pixels a side.
bool HOSTICON_Decode(const uint8_t* data, size_t size, HOSTICON_Image* image);

// The program's own icon, decoded; false when it could not be (the window then has none).
bool HOSTICON_Get(HOSTICON_Image* image);
