#pragma once
// The preference and agreement panels, the image buttons cut from the installer background,
// and the size text of the install screens.
#include <functional>
#include <string>

extern int agreed;  // the user accepted the licence agreement in this run

// Answers the agreement without a person (unattended mode, tests): returns 1 to accept.
extern std::function<int()> agreement_hook;

// Opens the preference panel and runs it until it is closed; without a window it returns at once.
void handle_prefs();
// 1 when the user accepts the licence agreement.
int handle_EULA();
// Draws a piece of the installer background as a button; 1 if it was clicked this frame.
int interface_rect(float x1, float y1, float s1, float t1, float ds, float dt, int hi_lite, int col_code);
void interface_icon(float x1, float y1, int c);
// A size given in thousands of bytes as "1.2 Meg" or "1.5 Gig", digits truncated.
void set_size_str(float k, std::string* size_str);

// The rules behind the panels, kept apart from the drawing so they can be checked on their own.

// The proxy port typed in the preferences: its value when it is only digits (an optional leading
// "+" or "-", at most nine digits), -1 when it is anything else, `previous` when it is empty.
int proxy_port_from_text(const std::string& text, int previous);

// The stream count after one pass of the panel: 0 (automatic) when the manual box is unticked,
// otherwise the count kept within 1...4, so ticking the box starts at one stream.
int stream_count_after(int man_set_streams, int stream_count);

// How interface_rect draws and hit-tests: the lower image row of the look to show (normal,
// hovered or pressed, stacked upwards dt + 1 pixels apart), and whether the mouse is inside.
struct interface_rect_look {
  float t1;     // lower edge of the look, image pixels
  bool inside;  // the mouse lies inside the screen rectangle, edges included
};
interface_rect_look interface_rect_state(float x1, float y1, float t1, float ds, float dt, int hi_lite, float mx,
                                         float my, int held);
// The tint of palette entry 98: white, green-tinted (col_code 1) or red-tinted (2).
void interface_rect_tint(int col_code, float rgb[3]);

// The four lines of the licence agreement.
extern const char* const kAgreementLines[4];
