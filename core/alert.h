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

// How an alert reaches a person. show replaces every form: tests and the unattended mode set it
// so that nothing ever waits for a click. The shell fills the other three at start-up: the drawn
// panel (false when it cannot be drawn), the system message box, and the finish-up that a fatal
// alert runs before the program ends. Left empty, the alert goes to standard error only and a
// fatal one closes the log. The worker pool fills on_worker_thread, where an alert is thrown as
// an exce_class to the thread that submitted the work instead of being shown.
struct alert_seam {
  std::function<void(const alert_view&)> show;
  std::function<bool(const alert_view&)> panel;
  std::function<void(const std::string& title, const std::string& text)> message_box;
  std::function<void()> finish_up;
  std::function<bool()> on_worker_thread;
};
alert_seam& alert_hooks();

// An alert raised on a worker thread, carried to the submitter instead of being shown.
class exce_class {
 public:
  exce_class() = default;
  exce_class(std::string c1, std::string c2, std::string c3, std::string c4, const char* file, int line);
  virtual ~exce_class() = default;
  exce_class(const exce_class&) = default;
  exce_class& operator=(const exce_class&) = default;

  std::string c1_, c2_, c3_, c4_;
  const char* file_ = "";
  int line_ = 0;
  int type_ = alert_error;  // an alert_type, so that the submitter can raise the same alert
};

// Writes value in decimal into buffer: "-" when negative, "+" with plus_sign, zero-padded to
// at least min_digits digits (at most 10), zero-terminated.
void int_to_str(int value, char* buffer, int min_digits, int plus_sign);

// Shows a web address in the user's browser: through go_to_URL_hook, which the shell fills with
// the desktop's browser and the unattended mode with a printed line; empty, the address is logged.
void go_to_URL(std::string url);
extern std::function<void(const std::string& url)> go_to_URL_hook;

// Loads the texts of the interface language; all texts are built in, so nothing changes.
void MACIBM_setupforlang();
