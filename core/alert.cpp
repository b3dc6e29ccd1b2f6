#include "core/alert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "core/app_state.h"
#include "core/log.h"
#include "core/system_info.h"

int in_alert = 0;
int return_hit = 0;

alert_seam& alert_hooks() {
  static alert_seam hooks;
  return hooks;
}

const char* alert_module_name(const char* file) {
  // Only the last component is kept; the extension is cut when the reference is built.
  const char* slash = std::strrchr(file, '/');
  return slash ? slash + 1 : file;
}

namespace {

std::string module_without_extension(const char* file) {
  std::string name = file ? file : "";
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

// The message-box form: the lines joined by blank lines. It always goes to standard error too,
// because with no display the system box shows nothing and still reports success.
void show_message_box(const std::string* lines) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i) text += "\n\n";
    text += lines[i];
  }
  std::cerr << "Lumara Message: " << text << std::endl;
  if (alert_hooks().message_box) alert_hooks().message_box("Lumara Message", text);
}

}  // namespace

void __MACIBM_alert(int close_to, std::string stl_s_1, std::string stl_s_2, std::string stl_s_3,
                    std::string stl_s_4, int type, const char* file, int line) {
  std::string module = module_without_extension(file);
  if (alert_hooks().on_worker_thread && alert_hooks().on_worker_thread()) {
    exce_class carried(stl_s_1, stl_s_2, stl_s_3, stl_s_4, file, line);
    carried.type_ = type;
    throw carried;
  }

  alert_view view;
  view.close_to = close_to;
  view.lines[0] = std::move(stl_s_1);
  view.lines[1] = std::move(stl_s_2);
  view.lines[2] = std::move(stl_s_3);
  view.lines[3] = std::move(stl_s_4);
  view.type = type;
  view.reference = "(" + module + " line " + std::to_string(line) + ")";

  int was_in_alert = in_alert;
  in_alert = 1;

  view.message_box = !ogl_inited || was_in_alert;
  bool all_empty = view.lines[0].empty() && view.lines[1].empty() && view.lines[2].empty() && view.lines[3].empty();
  if (view.message_box || !all_empty) {
    if (alert_hooks().show)
      alert_hooks().show(view);
    else if (view.message_box || !alert_hooks().panel || !alert_hooks().panel(view))
      show_message_box(view.lines);
  }

  if (type == alert_error || type == alert_fatal || was_in_alert) {
    for (const std::string& l : view.lines) xer << l << "\n";
    xer << view.reference << "\n";
    xer.flush();
  }
  if (type == alert_fatal || was_in_alert) {
    if (alert_hooks().finish_up) {
      alert_hooks().finish_up();
    } else {
      system_remove_run_temp_folder();
      log_close();
    }
    app_done = 1;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
  }
  in_alert = 0;
}

void int_to_str(int value, char* buffer, int min_digits, int plus_sign) {
  if (min_digits > 10) min_digits = 10;
  if (min_digits < 0) min_digits = 0;
  long long magnitude = value;
  const char* sign = "";
  if (magnitude < 0) {
    sign = "-";
    magnitude = -magnitude;
  } else if (plus_sign) {
    sign = "+";
  }
  std::snprintf(buffer, 16, "%s%0*lld", sign, min_digits, magnitude);
}

std::function<void(const std::string& url)> go_to_URL_hook;

void go_to_URL(std::string url) {
  if (go_to_URL_hook)
    go_to_URL_hook(url);
  else
    xer << "Web address not shown (no browser): " << url << "\n";
}

exce_class::exce_class(std::string c1, std::string c2, std::string c3, std::string c4, const char* file, int line)
    : c1_(std::move(c1)), c2_(std::move(c2)), c3_(std::move(c3)), c4_(std::move(c4)), file_(file), line_(line) {}

void MACIBM_setupforlang() {}
