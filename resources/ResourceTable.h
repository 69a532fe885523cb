// The editor's PNG images, compiled into the library and found by their numeric ids.
#pragma once

#include <cstddef>

struct EmbeddedResource {
    int id;                    // resource id (101, 104 … 111)
    const unsigned char* data; // the PNG file's bytes
    std::size_t size;          // their count
};

// The image with this id, or nullptr.
const EmbeddedResource* findResource(int id);
