#include "install/file_selection.h"

#include <algorithm>
#include <vector>

#include "core/log.h"
#include "files/os_path.h"
#include "install/directory.h"
#include "install/install_pass.h"
#include "install/session_state.h"

namespace {

bool contains(const std::vector<std::string>& list, const std::string& folder) {
  return std::find(list.begin(), list.end(), folder) != list.end();
}

}  // namespace

std::function<int(const std::string& dest, int is_gone)>& select_alert_hook() {
  static std::function<int(const std::string&, int)> hook;
  return hook;
}

select_alert_texts select_alert_text(const std::string& dest_path_exp, int is_gone) {
  select_alert_texts t;
  t.lines[0] = is_gone ? "I am about to DELETE:" : "I am about to install:";
  t.lines[1] = dest_path_exp;
  t.lines[2] = is_gone ? "because we no longer use this file, but it appears you have modified it. What to do?"
                       : "but it appears you have modified this file. What to do?";
  t.labels[select_proceed - 1] = is_gone ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE";
  t.labels[select_keep - 1] = "KEEP THE OLD FILE";
  t.labels[select_cancel - 1] = "CANCEL THE WHOLE INSTALLATION!";
  t.labels[select_proceed_folder - 1] =
      is_gone ? "DELETE EVERY OLD FILE IN THIS DIRECTORY" : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY";
  t.labels[select_keep_folder - 1] = "KEEP EVERY OLD FILE IN THIS DIRECTORY";
  return t;
}

int select_alert(std::string dest_path_exp, int is_gone) {
  auto& hook = select_alert_hook();
  if (!hook) return select_keep;
  return hook(dest_path_exp, is_gone);
}

int choose_files() {
  std::vector<std::string> overwrite_folders;
  std::vector<std::string> keep_folders;

  for (file_history_struct& history : sim_info.files) {
    if (history.versions.empty()) continue;
    file_version_struct& v = history.versions.back();
    const bool is_gone = v.sig_want == kSigGone;
    int decide = version_applies(v.os_type, stg.download_os);

    if (decide) {
      std::string dest = dest_path_of(v.path);
      const bool is_ondisk = v.sig_have != kSigNone;
      const bool is_latest = is_ondisk && v.sig_have == v.sig_want;

      if (!is_ondisk && is_gone) {
        // Nothing to delete; but a run killed after deleting it may have left its folder
        // empty, which this pass then tidies away as if it had deleted the file itself.
        decide = 0;
        note_deleted_folders(dest);
      }
      if (is_latest) decide = 0;              // already current
      if (is_ondisk && !is_latest) {
        // A file that matches no version ever published was changed by the user.
        bool is_custom = std::none_of(history.versions.begin(), history.versions.end(),
                                      [&](const file_version_struct& w) { return v.sig_have == w.sig_want; });
        if (is_custom) {
          std::string folder = folder_of(dest);
          if (contains(overwrite_folders, folder)) {
            decide = 1;
          } else if (contains(keep_folders, folder)) {
            decide = 0;
          } else {
            xer << "File: " << dest << "  sig_want=" << v.sig_want << "  sig_have=" << v.sig_have << "\n";
            xer.flush();
            switch (select_alert(dest, is_gone ? 1 : 0)) {
              case select_proceed:
                decide = 1;
                break;
              case select_proceed_folder:
                decide = 1;
                overwrite_folders.push_back(folder);
                break;
              case select_keep_folder:
                decide = 0;
                keep_folders.push_back(folder);
                break;
              case select_cancel:
                return 0;
              default:  // select_keep, and anything unknown: the user's file stays
                decide = 0;
                break;
            }
          }
        }
      }
    }

    v.want_to_grab_it = decide && !is_gone ? 1 : 0;
    v.want_to_nuke_it = decide && is_gone ? 1 : 0;
  }
  return 1;
}
