#pragma once
// The per-frame rules of the shell that need no window: periods, mouse state, pulse, help box.

// Every 10th frame: ratio = elapsed * 0.1 / period in [0.5, 1.5]; the period follows by ratio^0.25
// within [0.0010001, 0.05]; the reference time moves to now.
void adapt_frame_period(float& period, float& ratio, float& reference_time, float now);

// Updates the dragging, double-click and quick-click flags of mnw from this frame's press and
// release (mouse_clicked, mouse_lifted) and the mouse's movement since the last frame.
void update_mouse_state(float now, float last_mx, float last_my);

// Palette entries 75-79 and pulse_alpha follow p = 0.7 + 0.3 sin(20 t).
void update_pulse_colours(float now);

// Where the hover help box goes for a text of length chars with the mouse at (mx, my),
// kept within 10..1014 across and 10..748 up.
struct help_box {
  float x, y, dx, dy;
};
help_box place_help_box(int length, float mx, float my);
