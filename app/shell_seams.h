#pragma once
// Puts the shell's own routines behind the seams of the layers below it: the frame of the event
// loop for modal panels, the drawn alert panel, the message box, the finish-up of a fatal alert,
// menu commands and the browser. Called first thing at start-up.
void install_shell_seams();
