// The window's own forms of the dialogs: the panel in which the user types a folder when the
// system has no chooser, the drawn panels put behind the install engine's seams, and the
// chooser call that every platform's folder chooser answers.
#include <cstring>

#include "app/dialogs.h"
#include "app/event_loop.h"
#include "app/keys.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "files/os_path.h"
#include "install/destination.h"
#include "install/directory_view_panel.h"
#include "install/file_selection.h"
#include "install/file_selection_panel.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
// Panel 996 is otherwise unused; it has no close boxes, so Return reaches the panel as a confirm.
constexpr int kFolderWin = 996;
constexpr float kFolderDx = 600, kFolderDy = 170;
constexpr int kPathField = 0;
constexpr int kPathChars = 95;

// Gives panel 996 the room of a path field and centres it again.
void size_folder_panel() {
  float s = mnw.xy_scale_now;
  mnw.win_dx = kFolderDx;
  mnw.win_dy = kFolderDy;
  mnw.win_x = OGL_round((mnw.x_res_now - kFolderDx * s) * 0.5f) / s;
  mnw.win_y = OGL_round((mnw.y_res_now - kFolderDy * s) * 0.5f) / s;
  if (mnw.win_y < 0) mnw.win_y = 0;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}
}  // namespace

bool folder_panel(const std::string& prompt, const std::string& action, const std::string& start,
                  std::string& chosen) {
  if (!mnw.context[0]) return false;
  MACIBM_startwind(kFolderWin);
  size_folder_panel();
  std::string text = start;
  stl_input = start;  // the field starts with the folder, ready to be edited
  mnw.entry_field = kPathField;
  std::string confirm_label = action.empty() ? "OK" : action;

  int answer = 0;  // 1 confirmed, 2 cancelled
  while (mnw.top_win == kFolderWin && !answer) {
    size_folder_panel();  // the first frame of the program re-opens the panel at its table size
    bool returned = return_hit != 0;
    return_hit = 0;
    BTN_fillwin(1, 21);
    OGL_string(colour_panel_text, 10, kFolderDy - 40, prompt, kFolderDx - 20, 100);
    OGL_string(colour_panel_text, 10, 100, "Type the full path of the folder:", 9999, 100);
    BTN_enterstring(10, 75, &text, kPathChars, kPathField, "");
    if (BTN_action(kFolderDx * 0.3f, 22, 260, 0, 1, confirm_label) || returned) answer = 1;
    if (BTN_action(kFolderDx * 0.8f, 22, 140, 0, 1, "Cancel")) answer = 2;
    if (answer) break;
    MACIBM_event_proc();
    if (app_done) answer = 2;
  }
  if (mnw.top_win == kFolderWin) MACIBM_startwind(0);

  std::string path = trimmed(text);
  if (answer != 1 || path.empty()) return false;
  if (path.back() != kPathSep) path += kPathSep;
  chosen = path;
  return true;
}

void install_window_dialogs() {
  if (!folder_chooser)
    folder_chooser = [](const std::string& prompt, const std::string& title, const std::string& start,
                        std::string& chosen) {
      // Once the window is gone nobody can be asked.
      return mnw.context[0] && choose_folder(prompt, title, start, chosen);
    };
  if (!select_alert_hook()) select_alert_hook() = select_alert_panel;
  if (!dir_progress_hook()) dir_progress_hook() = dir_progress_panel;
}

int GetFilePathFromUser(int inType, const char* inPrompt, const char* action, int, const char* inDefaultDir,
                        char* outFileName) {
  if (inType != 2 || !outFileName) return 0;
  std::string chosen;
  if (!choose_folder(inPrompt ? inPrompt : "", action ? action : "", inDefaultDir ? inDefaultDir : "", chosen))
    return 0;
  // The caller's buffer keeps its previous folder when the chosen one does not fit.
  if (chosen.size() >= static_cast<size_t>(kFilePathBufSize)) return 0;
  std::memcpy(outFileName, chosen.c_str(), chosen.size() + 1);
  return 1;
}
