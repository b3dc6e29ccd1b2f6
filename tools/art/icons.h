#pragma once
// The animated source icon: a globe turning under a small aeroplane that circles it once per loop.
#include "canvas.h"

struct globe_colours {
  rgba ocean_dark, ocean_light, grid, orbit, plane;
};

// Paints frames first..first+count-1 into 64 x 64 cells laid out in rows of eight from (s0, t0):
// frame c sits at ((c mod 8) * 64 + s0, (c div 8) * 64 + t0). The loop is seamless: the frame
// after the last one looks like the first.
void paint_globe_icons(canvas& target, int s0, int t0, int first, int count, const globe_colours& colours);
