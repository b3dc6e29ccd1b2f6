// The palette's fixed entries, its gamma curve and the colours the interface atlas defines.
#include "ui/palette.h"

#include <cmath>
#include <cstring>

colr_class colr;

namespace {

struct fixed_entry {
  int index;
  float r, g, b;
};

constexpr fixed_entry kFixed[] = {
    {0, 1, 1, 1},          {1, 0.8f, 0, 0},       {2, 1, 1, 0.2f},       {3, 0.7f, 0.7f, 0.7f},
    {4, 0.4f, 0, 0},       {5, 1, 1, 0},          {6, 0.3f, 0.3f, 0.3f}, {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f},    {9, 0.1f, 0.1f, 0.1f}, {10, 0, 0.8f, 0},      {12, 0, 0, 0},
    {13, 0, 0.4f, 0},      {15, 0.4f, 0.4f, 1},   {17, 0, 0, 0.6f},      {18, 0.9f, 0.9f, 0.9f},
    {19, 0.8f, 0.1f, 0.1f}, {20, 0.9f, 0.9f, 1},  {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f},
    {23, 1, 1, 0},         {24, 0, 0, 0},         {25, 1, 1, 1},         {26, 1, 1, 1},
    {27, 1, 1, 1},         {28, 1, 1, 0},         {29, 0, 0, 0},         {30, 1, 1, 1},
    {31, 1, 1, 1},         {32, 1, 1, 1},         {48, 1, 1, 1},         {49, 0.4f, 1, 0.4f},
    {50, 1, 0.4f, 0.4f},   {51, 1, 1, 0.6f},      {52, 0.6f, 0.6f, 1},   {53, 1, 0.5f, 0},
    {54, 0.8f, 0.8f, 0.8f}, {55, 0, 1, 0},        {56, 1, 0.2f, 0.2f},   {57, 1, 1, 0.2f},
    {58, 0.4f, 0.4f, 1},   {59, 0.5f, 0.3f, 0},   {60, 0.5f, 0.5f, 0.5f}, {61, 0, 0.6f, 0},
    {62, 0.6f, 0.2f, 0},   {63, 1, 1, 0},         {64, 0.2f, 0.2f, 0.8f}, {65, 0.8f, 0, 0.8f},
    {66, 0.2f, 0.2f, 0.2f}, {67, 0, 0.2f, 0},     {68, 1, 0, 0},         {69, 0.6f, 0.6f, 0},
    {70, 0.15f, 0.15f, 0.6f}, {71, 1, 0.2f, 1},   {72, 0, 0, 0},         {73, 0, 0.1f, 0},
    {74, 0.49f, 0.43f, 0.24f}, {80, 1, 0, 1},     {81, 0, 0, 0},         {82, 1, 0, 1},
    {83, 1, 1, 1},         {92, 0.5f, 0.5f, 0.4f}, {93, 1, 0.3f, 0},     {94, 0.5f, 0.5f, 0.4f},
    {95, 0.8f, 0.8f, 0.7f}, {96, 0, 0.6f, 0.2f},  {97, 1, 1, 0.9f},
};

// Where each interface colour's swatch lies in the atlas: palette index, column, stored row.
struct swatch {
  int index, x, y;
};
constexpr swatch kSwatches[] = {
    {33, 319, 155}, {34, 319, 147}, {35, 319, 139}, {36, 319, 131}, {37, 319, 123},
    {39, 319, 115}, {40, 319, 107}, {41, 319, 99},  {42, 319, 91},  {44, 319, 83},
    {45, 319, 75},  {46, 319, 67},  {43, 395, 115},
};
constexpr int kAtlasWidth = 512;

}  // namespace

colr_class::colr_class() {
  std::memset(col_rgb, 0, sizeof col_rgb);
  std::memset(spectrum_rgb, 0, sizeof spectrum_rgb);
  for (const fixed_entry& e : kFixed) assign(e.index, e.r, e.g, e.b);

  // The exponent is held in single precision so that the curve is the same on every build.
  const float exponent = 9.0f / 11.0f;
  for (int i = 0; i < 256; ++i) {
    float f = i / 255.0f;
    float g = f > 0 ? std::pow(f, exponent) : 0.0f;
    win_gamma[i] = static_cast<unsigned char>(g * 255.0f + 0.5f);
  }
}

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= 100) return;
  col_rgb[index][0] = r;
  col_rgb[index][1] = g;
  col_rgb[index][2] = b;
}

void colr_sample_interface(const unsigned char* atlas_rgba) {
  if (!atlas_rgba) return;
  for (const swatch& s : kSwatches) {
    const unsigned char* p = atlas_rgba + (static_cast<long>(s.y) * kAtlasWidth + s.x) * 4;
    colr.assign(s.index, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  }
  colr.assign(38, (colr.col_rgb[37][0] + colr.col_rgb[34][0]) * 0.5f,
              (colr.col_rgb[37][1] + colr.col_rgb[34][1]) * 0.5f, (colr.col_rgb[37][2] + colr.col_rgb[34][2]) * 0.5f);
}

float colr_set_pulse(float real_time) {
  float p = 0.7f + 0.3f * std::sin(20.0f * real_time);
  colr.assign(75, p, p, p);
  colr.assign(76, p, 0.3f * p, 0.3f * p);
  colr.assign(77, 0.3f * p, 0.3f * p, p);
  colr.assign(78, 0.2f * p, 0.8f * p, 0.2f * p);
  colr.assign(79, 0.7f * p, 0.7f * p, 0.2f * p);
  return p;
}
