#pragma once
// The start-up splash.
#include <string>

// Draws one frame of the splash: the version, a progress bar and message; progress may be null,
// and the bar then advances by itself.
void MACIBM_show_init(const std::string& message, float* progress);
// The bar's filled fraction for a given progress (or the automatic counter when null).
float splash_fraction(const float* progress);
