// A PNG file of what an X window shows (its top-left width × height pixels), for the tests'
// screenshots in the build's artefacts.
#pragma once

#include <string>

struct _XDisplay;

bool writeWindowPng(_XDisplay* display, unsigned long window, int width, int height, const std::string& path);
