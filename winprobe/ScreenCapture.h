// Pictures of what the screen shows, taken inside Wine (through the screen's DC) and saved as PNG with the
// Windows Imaging Component, so no tool of the Linux side is needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // top-down rows, 0x00RRGGBB
};

// The screen's pixels in `rect` (screen coordinates); false when it cannot be read.
bool CaptureScreen(const RECT& rect, Image& image);
// Writes the image as a 24-bit PNG; false (with the reason in `error`) when it cannot.
bool SavePng(const Image& image, const std::wstring& path, std::wstring& error);
// How many pixels differ between the two images over the area they share.
size_t DifferentPixels(const Image& a, const Image& b);
// How many pixels differ from the image's most common colour (its background): a text's ink.
size_t InkPixels(const Image& image);
