// The editor's PNG images, compiled into the library and found by their numeric ids. Each
// image comes at two pixel densities: 1 (the window's own size) and 2 (twice the pixels in
// each direction, for zoomed editors).
#pragma once

#include <cstddef>

struct EmbeddedResource {
    int id;                    // resource id (101, 104 … 111)
    int density;               // pixels per window unit: 1 or 2
    const unsigned char* data; // the PNG file's bytes
    std::size_t size;          // their count
};

// The image with this id at this density, or nullptr.
const EmbeddedResource* findResource(int id, int density = 1);
