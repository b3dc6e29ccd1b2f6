#pragma once
// The preference and agreement panels, the image buttons cut from the installer background,
// and the size text of the install screens.
#include <functional>
#include <string>

extern int agreed;  // the user accepted the licence agreement in this run

// Answers the agreement without a person (unattended mode, tests): returns 1 to accept.
extern std::function<int()> agreement_hook;

void handle_prefs();
// 1 when the user accepts the licence agreement.
int handle_EULA();
// Draws a piece of the installer background as a button; 1 if it was clicked this frame.
int interface_rect(float x1, float y1, float s1, float t1, float ds, float dt, int hi_lite, int col_code);
void interface_icon(float x1, float y1, int c);
// A size given in thousands of bytes as "1.2 Meg" or "1.5 Gig", digits truncated.
void set_size_str(float k, std::string* size_str);
