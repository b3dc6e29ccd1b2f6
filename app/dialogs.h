#pragma once
// System dialogs: message box, opening a web address.
#include <string>

// Shows a system message box with no owner; returns false when none could be shown.
bool system_message_box(const std::string& title, const std::string& text);
// Asks the desktop to open a web address; returns false when it could not be asked.
bool system_open_url(const std::string& url);
