#pragma once
// The choice of what the pass fetches, deletes or leaves alone, and the question asked about a
// file the user changed.
#include <functional>
#include <string>

// Answers of select_alert.
enum select_answer {
  select_proceed = 1,         // overwrite this file (delete it, when the release removes it)
  select_keep = 2,            // keep the user's file
  select_cancel = 3,          // cancel the whole installation
  select_proceed_folder = 4,  // proceed with every modified file of this folder
  select_keep_folder = 5,     // keep every modified file of this folder
};

// Who answers the modified-file question: the window's dialog, the unattended mode or a test.
// Left empty, the answer is select_keep: a user's file is never changed without consent.
std::function<int(const std::string& dest, int is_gone)>& select_alert_hook();

// The texts of the question: three lines, and the labels of the buttons for the answers
// 1 to 5 (label[answer - 1]).
struct select_alert_texts {
  std::string lines[3];
  std::string labels[5];
};
select_alert_texts select_alert_text(const std::string& dest_path_exp, int is_gone);

// Asks what to do with a modified file at dest_path_exp; is_gone when it would be deleted.
int select_alert(std::string dest_path_exp, int is_gone);

// Sets want_to_grab_it and want_to_nuke_it of every current version. 1 when every file was
// decided; 0 when the user cancelled the whole installation.
int choose_files();
