// Icons: the images of a .ico file, and the group resource that lists them.
#ifndef ICONFILE_H
#define ICONFILE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Bytes.h"

struct IconImage {
    uint8_t width = 0;   // 0 stands for 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    Bytes data;          // a PNG file or a DIB (BITMAPINFOHEADER onwards)
};

// Every image of the file; throws PackError naming `what` on bad input.
std::vector<IconImage> readIconFile(const Bytes& file, const std::string& what);

// The RT_GROUP_ICON data for images stored as RT_ICON firstId, firstId + 1, ...
Bytes iconGroup(const std::vector<IconImage>& images, uint16_t firstId);

// The images a group resource lists, from the RT_ICON resources by id.
std::vector<IconImage> readIconGroup(const Bytes& group, const std::map<uint16_t, Bytes>& icons,
                                     const std::string& what);

// A .ico file holding `images`, in order.
Bytes iconFile(const std::vector<IconImage>& images);

#endif // ICONFILE_H
