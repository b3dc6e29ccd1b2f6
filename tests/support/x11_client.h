#pragma once
// A few things a person does to a window, done through the X server: find it, look at it, close it.
#include <string>

namespace testing_support {

// Waits up to timeout_s for a mapped top-level window titled title on DISPLAY.
bool x11_wait_for_window(const std::string& title, double timeout_s);
// Asks the window titled title to close, as a window manager's close button does.
bool x11_close_window(const std::string& title);
// Saves what the screen shows in the window titled title as a PNG file.
bool x11_save_window_png(const std::string& title, const std::string& path);

}  // namespace testing_support
