// PNG screenshots of the device's back buffer.
#pragma once
#include <string>

// Reads render target 0 as it was created (the back buffer) through an
// offscreen system-memory surface and writes it as an RGB PNG. False on failure.
bool SaveBackBuffer(const std::string& path, std::string* error);
