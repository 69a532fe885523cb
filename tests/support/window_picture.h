// What an X window shows: one pixel, or its top-left width × height pixels as a PNG file, for
// the tests' screenshots in the build's artefacts.
#pragma once

#include <cstdint>
#include <string>

struct _XDisplay;

bool writeWindowPng(_XDisplay* display, unsigned long window, int width, int height, const std::string& path);
// The pixel at (x, y) as 0xRRGGBB; 0 where it cannot be read.
uint32_t windowPixel(_XDisplay* display, unsigned long window, int x, int y);
