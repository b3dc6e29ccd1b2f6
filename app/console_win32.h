#pragma once
// The installer is a window program on Windows, started without a console of its own. These let
// its text output (the unattended mode, --help, --version) reach the console it was started from,
// and give it its arguments in UTF-8.
#include <string>
#include <vector>

// Attaches to the console of the program that started this one, when there is one, and points
// standard output and error there unless they already go to a file or a pipe; either way their
// lines end in a plain line feed.
void attach_parent_console();
// True when standard output is a console that understands the sequences which rewrite a line.
bool stdout_is_console();
// The program's arguments, its own name first, from the UTF-16 command line.
std::vector<std::string> utf8_arguments();
