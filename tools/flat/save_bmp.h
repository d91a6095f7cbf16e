// Saves what a window shows as a picture file, for the demonstration windows' renderings.
#pragma once
#include <windows.h>

#include <functional>

class TForm;

// The window's client area as a 24-bit BMP file; false when the file could not be written.
bool SaveClientBmp(HWND window, const char* path);
// A rectangle of the screen (with whatever windows and menus show there) as a 24-bit BMP file.
bool SaveScreenBmp(const RECT& r, const char* path);

// Shows form in front; then, given a file name in argv[1], lets it paint, saves it and returns
// the exit code, or else runs the program until the form is closed. prepare runs once the form
// is on the screen.
int ShowOrSave(TForm* form, int argc, char** argv, const std::function<void()>& prepare);
