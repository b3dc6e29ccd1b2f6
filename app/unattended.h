#pragma once
// The install session driven without a window, for scripts and for tests: it acts where a
// person would click, answers every question from the command line, and reports to standard output.

// Installs the answers and the report; call after the command line was parsed.
void unattended_begin();
// The exit status: 0 installed or already current, 1 failed or cancelled, 2 agreement not
// accepted, 3 no file arrived whole (nor any other step) for --give_up_after seconds, 4 no signed
// release, 5 another installer is working on the destination.
int unattended_exit_code();
// Ends an unattended run before its first frame with the given exit status.
void unattended_stop(int status);
