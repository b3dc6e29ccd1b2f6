#pragma once
// A few things a person does to a window, done through the X server: find it, look at it, close it.
#include <string>
#include <vector>

namespace testing_support {

// Waits up to timeout_s for a mapped top-level window titled title on DISPLAY.
bool x11_wait_for_window(const std::string& title, double timeout_s);
// Asks the window titled title to close, as a window manager's close button does.
bool x11_close_window(const std::string& title);
// What the screen shows in the window titled title: RGBA rows from the bottom up.
bool x11_read_window(const std::string& title, std::vector<unsigned char>& rgba, int& width, int& height);
// Saves what the screen shows in the window titled title as a PNG file.
bool x11_save_window_png(const std::string& title, const std::string& path);

// Clicks the left button at (x, y) of the window titled title, in the program's units: pixels
// from the window's lower-left corner, y up.
bool x11_click(const std::string& title, int x, int y);
// Types text, or presses a named key ("Return", "BackSpace"), into the focused window.
bool x11_type(const std::string& text);
bool x11_key(const std::string& key_name);

}  // namespace testing_support
