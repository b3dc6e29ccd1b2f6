#pragma once
// One routine through which every part of the program tells the user about a problem.
#include <functional>
#include <string>

enum alert_type { alert_language = 0, alert_error = 1, alert_fatal = 2 };

extern int in_alert;    // 1 while an alert is being shown
extern int return_hit;  // Return was pressed; an alert panel takes it as its button

void __MACIBM_alert(int close_to, std::string stl_s_1, std::string stl_s_2, std::string stl_s_3,
                    std::string stl_s_4, int type, const char* file, int line);

// The source-module name of a __FILE__ text: its last component without extension.
const char* alert_module_name(const char* file);

#define MACIBM_alert(close_to, s1, s2, s3, s4, type) \
  __MACIBM_alert((close_to), (s1), (s2), (s3), (s4), (type), alert_module_name(__FILE__), __LINE__)

// What one alert shows.
struct alert_view {
  int close_to = 0;
  std::string lines[4];
  int type = alert_error;
  std::string reference;     // "(module line N)"
  bool message_box = true;   // the system message box form, else the drawn panel
};

// How an alert reaches a person. Left empty, the message box (and standard error) is used
// before the window exists and the drawn panel afterwards. Tests and the unattended mode
// install their own so that nothing ever waits for a click.
struct alert_seam {
  std::function<void(const alert_view&)> show;
};
alert_seam& alert_hooks();

// Writes value in decimal into buffer: "-" when negative, "+" with plus_sign, zero-padded to
// at least min_digits digits (at most 10), zero-terminated.
void int_to_str(int value, char* buffer, int min_digits, int plus_sign);

// Shows a web address in the user's browser.
void go_to_URL(std::string url);
// Replaces the browser, for example by printing the address where nobody can look at a browser.
extern std::function<void(const std::string& url)> go_to_URL_hook;

// Loads the texts of the interface language; all texts are built in, so nothing changes.
void MACIBM_setupforlang();
