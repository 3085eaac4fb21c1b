#pragma once
// PNG files of framebuffer pixels (0x00RRGGBB words), through libpng.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels, rows `stride` words apart, as 8-bit RGB.
// False, with the reason in `error`, when the file cannot be written.
bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height, std::size_t stride,
              std::string* error = nullptr);

// Reads any PNG into 0x00RRGGBB words (alpha dropped, composed on black).
bool ReadPng(const std::string& path, std::vector<std::uint32_t>& pixels, int& width, int& height,
             std::string* error = nullptr);
