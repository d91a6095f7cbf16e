// Saves what a window shows as a picture file, for the demonstration windows' renderings.
#pragma once
#include <windows.h>

// The window's client area as a 24-bit BMP file; false when the file could not be written.
bool SaveClientBmp(HWND window, const char* path);
