#pragma once
// The program window and its OpenGL context, display modes, events and the cursor.
// Everything here goes through the platform file (window_sdl.cpp).

// Switches the display to the requested mode (init_call 1) or back to the mode found at the
// first call (0). 1 on success or when nothing needed to change, 0 when no mode fits.
int MACIBM_setres(int init_call);
// Creates window w (0 main) with its OpenGL context; 1 on success, 0 on failure.
int MACIBM_make_context(int w);
// Releases the context and window w.
void MACIBM_nuke_context(int w);

// True when a real display can show a window (not the headless fallback driver).
bool window_display_available();
// Takes and dispatches every waiting event; when none was waiting, waits up to wait_ms for one.
void window_pump_events(int wait_ms);
void window_show_cursor(bool shown);

// The window's events, turned into the program's input state (window_events.cpp).
void on_window_close();
void on_window_paint();
void on_key_down(unsigned int key, bool shift);
void on_key_up();
void on_text_input(const char* utf8);
void on_mouse_move(int x, int y);
void on_mouse_button(bool down);
void on_mouse_wheel(int delta);
