#pragma once
// System dialogs: message box, opening a web address, the folder chooser.
#include <string>

// Shows a system message box with no owner; returns false when none could be shown.
bool system_message_box(const std::string& title, const std::string& text);
// Asks the desktop to open a web address; returns false when it could not be asked.
bool system_open_url(const std::string& url);

// Shows a chooser: inType 2 picks a folder, whose path (with a trailing separator) goes into
// outFileName, a buffer of kFilePathBufSize characters. 1 when the user chose something. The
// file dialogs (0 open, 1 save) are not used by this program and return 0, as do other types.
constexpr int kFilePathBufSize = 512;
int GetFilePathFromUser(int inType, const char* inPrompt, const char* action, int id, const char* inDefaultDir,
                        char* outFileName);

// The folder chooser behind GetFilePathFromUser: the system's chooser (on Linux the desktop's,
// zenity else kdialog, when a display and one of them exist; on Windows the shell's folder dialog),
// else the program's own panel with a text field. action is the caption of the confirming button.
bool choose_folder(const std::string& prompt, const std::string& action, const std::string& start,
                   std::string& chosen);

// The program's own folder panel, when no desktop chooser is there: the user types the path.
// False when cancelled, when the text is empty, or when there is no window.
bool folder_panel(const std::string& prompt, const std::string& action, const std::string& start,
                  std::string& chosen);

// Puts the window's own forms behind the seams that have none yet: the folder chooser, the drawn
// modified-file question and the progress screen of the directory read. Called once the window exists.
void install_window_dialogs();
