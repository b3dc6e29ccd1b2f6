#include "script.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "icons.h"
#include "ui/glyph_table.h"

namespace {

// Splits a line into words; "double quoted" words keep their spaces; # starts a comment.
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '#') {
      break;
    } else if (line[i] == '"') {
      std::size_t end = line.find('"', i + 1);
      if (end == std::string::npos) end = line.size();
      words.push_back("\"" + line.substr(i + 1, end - i - 1));  // the quote marks it as text
      i = end + 1;
    } else {
      std::size_t end = line.find_first_of(" \t\r", i);
      if (end == std::string::npos) end = line.size();
      words.push_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

}  // namespace

void art_script::fail(const std::string& message) const {
  std::fprintf(stderr, "zephra-art: %s line %d: %s\n", file_.c_str(), line_, message.c_str());
  std::exit(1);
}

float art_script::number(const std::string& word) const {
  char* end = nullptr;
  float value = std::strtof(word.c_str(), &end);
  if (word.empty() || *end != '\0') fail("I expected a number, not '" + word + "'.");
  return value;
}

rgba art_script::colour(const std::string& colour_text) const {
  std::string name = colour_text;
  float alpha = 1;
  if (std::size_t at = colour_text.find('@'); at != std::string::npos) {
    name = colour_text.substr(0, at);
    alpha = number(colour_text.substr(at + 1));
  }
  auto found = colours_.find(name);
  if (found == colours_.end()) fail("There is no colour named '" + name + "'.");
  rgba c = found->second;
  c.a *= alpha;
  return c;
}

paint art_script::paint_of(const std::string& colour_text, float y0, float y1) const {
  paint p;
  if (std::size_t dots = colour_text.find(".."); dots != std::string::npos) {
    p.low = colour(colour_text.substr(0, dots));
    p.high = colour(colour_text.substr(dots + 2));
    p.gradient = true;
    p.y0 = y0;
    p.y1 = y1;
  } else {
    p.low = p.high = colour(colour_text);
  }
  return p;
}

font_face& art_script::font(const std::string& name) {
  auto loaded = fonts_.find(name);
  if (loaded != fonts_.end()) return *loaded->second;
  auto path = font_paths_.find(name);
  if (path == font_paths_.end()) fail("There is no font named '" + name + "'.");
  return *(fonts_[name] = std::make_unique<font_face>(path->second));
}

canvas& art_script::target() {
  if (images_.empty()) fail("Paint commands need an 'image' line before them.");
  return images_.back().pixels;
}

std::vector<finished_image>& art_script::finish() { return images_; }

void art_script::run_file(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "zephra-art: I could not open %s.\n", path.c_str());
    std::exit(1);
  }
  file_ = path;
  line_ = 0;
  std::string text;
  while (std::getline(in, text)) {
    ++line_;
    std::vector<std::string> words = split(text);
    if (!words.empty()) run_line(words);
  }
  if (recording_) fail("The last 'group' has no 'endgroup'.");
}

void art_script::run_line(const std::vector<std::string>& w) {
  const std::string& cmd = w[0];
  if (recording_) {
    if (cmd == "endgroup")
      recording_ = nullptr;
    else
      recording_->push_back(w);
    return;
  }
  auto need = [&](std::size_t count) {
    if (w.size() < count + 1) fail("'" + cmd + "' needs " + std::to_string(count) + " values.");
  };
  auto n = [&](std::size_t i) { return number(w[i]); };
  auto text_of = [&](std::size_t i) {
    if (w[i].empty() || w[i][0] != '"') fail("I expected a \"quoted text\", not '" + w[i] + "'.");
    return w[i].substr(1);
  };
  float ox = offset_x_, oy = offset_y_;

  if (cmd == "colour") {
    need(4);
    float a = w.size() > 5 ? n(5) : 255;
    colours_[w[1]] = rgba{n(2) / 255, n(3) / 255, n(4) / 255, a / 255};
  } else if (cmd == "font") {
    need(2);
    font_paths_[w[1]] = text_of(2);
  } else if (cmd == "image") {
    need(3);
    images_.push_back({w[1], canvas(int(n(2)), int(n(3)))});
    offset_x_ = offset_y_ = 0;
  } else if (cmd == "group") {
    need(1);
    recording_ = &groups_[w[1]];
    recording_->clear();
  } else if (cmd == "use") {
    need(1);
    auto group = groups_.find(w[1]);
    if (group == groups_.end()) fail("There is no group named '" + w[1] + "'.");
    for (const auto& line : group->second) run_line(line);
  } else if (cmd == "offset") {
    need(2);
    offset_x_ = n(1);
    offset_y_ = n(2);
  } else if (cmd == "fill") {
    need(1);
    canvas& c = target();
    c.fill_rect(0, 0, c.width(), c.height(), paint_of(w[1], 0, c.height()));
  } else if (cmd == "clear") {
    // clear X Y W H: makes the pixels fully transparent
    need(4);
    for (int y = int(n(2) + oy); y < int(n(2) + oy + n(4)); ++y)
      for (int x = int(n(1) + ox); x < int(n(1) + ox + n(3)); ++x) target().set(x, y, rgba{});
  } else if (cmd == "rect") {
    need(5);
    float y = n(2) + oy;
    target().fill_rect(n(1) + ox, y, n(3), n(4), paint_of(w[5], y, y + n(4)));
  } else if (cmd == "box") {
    need(6);
    float y = n(2) + oy;
    target().round_box(n(1) + ox, y, n(3), n(4), n(5), paint_of(w[6], y, y + n(4)));
  } else if (cmd == "outline") {
    need(7);
    float y = n(2) + oy;
    target().round_outline(n(1) + ox, y, n(3), n(4), n(5), n(6), paint_of(w[7], y, y + n(4)));
  } else if (cmd == "shadow") {
    need(7);
    target().round_shadow(n(1) + ox, n(2) + oy, n(3), n(4), n(5), n(6), colour(w[7]));
  } else if (cmd == "circle") {
    need(4);
    float cy = n(2) + oy;
    target().circle(n(1) + ox, cy, n(3), paint_of(w[4], cy - n(3), cy + n(3)));
  } else if (cmd == "ring") {
    need(5);
    float cy = n(2) + oy;
    target().ring(n(1) + ox, cy, n(3), n(4), paint_of(w[5], cy - n(3), cy + n(3)));
  } else if (cmd == "line") {
    need(6);
    float y1 = n(2) + oy, y2 = n(4) + oy;
    target().line(n(1) + ox, y1, n(3) + ox, y2, n(5), paint_of(w[6], std::min(y1, y2), std::max(y1, y2)));
  } else if (cmd == "poly") {
    need(7);
    if ((w.size() - 2) % 2 != 0) fail("'poly' needs x y pairs after its colour.");
    std::vector<float> xy;
    for (std::size_t i = 2; i < w.size(); i += 2) xy.insert(xy.end(), {n(i) + ox, n(i + 1) + oy});
    auto [lo, hi] = std::minmax({xy[1], xy[3], xy[5]});
    target().polygon(xy, paint_of(w[1], lo, hi));
  } else if (cmd == "glow") {
    need(5);
    target().glow(n(1) + ox, n(2) + oy, n(3), n(4), colour(w[5]));
  } else if (cmd == "text") {
    // text X Y FONT SIZE COLOUR "words" [centre|right]
    need(6);
    font_face& f = font(w[3]);
    int size = int(n(4));
    std::string words = text_of(6);
    float x = n(1) + ox;
    if (w.size() > 7 && w[7] == "centre") x -= f.measure(words, size) / 2;
    if (w.size() > 7 && w[7] == "right") x -= f.measure(words, size);
    f.draw(target(), x, n(2) + oy, words, size, colour(w[5]));
  } else if (cmd == "glyphs") {
    // glyphs S T FONT SIZE proportional|fixed PITCH WEIGHT
    need(7);
    canvas& c = target();
    font_face& f = font(w[3]);
    int size = int(n(4));
    bool fixed = w[5] == "fixed";
    if (!fixed && w[5] != "proportional") fail("A glyph face is 'proportional' or 'fixed'.");
    int pitch = int(n(6));
    float weight = n(7);
    for (int row = 0; row < kGlyphRows; ++row)
      for (int column = 0; column < kGlyphColumns; ++column) {
        int code = glyph_code_at(column, row);
        if (code <= ' ') continue;  // the blank cell stays clear
        int room = fixed ? pitch : glyph_for(static_cast<unsigned char>(code)).advance;
        auto hinted_advance = [](const glyph_image& g) { return int(std::lround(g.advance)); };
        glyph_image g = f.render(unsigned(code), size);
        // A proportional glyph is hinted at the em width, nearest the true one, at which the
        // font's own advance is the table's: its side bearings then space it as the font would.
        float squeeze = 1.0f;
        for (int step = 1; !fixed && hinted_advance(g) != room && step <= 8; ++step)
          for (float tried : {1.0f + step / 32.0f, 1.0f - step / 32.0f}) {
            glyph_image fitted = f.render(unsigned(code), size, tried);
            if (hinted_advance(fitted) != room) continue;
            g = fitted, squeeze = tried;
            break;
          }
        // The ink must leave a pixel of space before the next character and stay inside the cell.
        int widest = std::clamp(room - 1, 1, kGlyphCellDx);
        // Still too wide: hinted again at narrower ems in small steps, keeping the widest that fits.
        while (g.width > widest && squeeze > 0.5f) {
          squeeze -= 1.0f / 32;
          g = f.render(unsigned(code), size, squeeze);
        }
        int cell_s = int(n(1)) + column * kGlyphCellDx, cell_t = int(n(2)) + row * kGlyphCellDy;
        // The ink keeps the font's own side bearings where the advances agree, and is centred in
        // the advance where no em width made them agree.
        int left = hinted_advance(g) == room ? g.left : (room - g.width) / 2;
        left = std::clamp(left, 0, std::max(0, widest - g.width));
        const int baseline = 2;  // rows below it hold the descenders; text is drawn 2 pixels low
        for (int r = 0; r < g.rows; ++r) {
          int cy = baseline + g.top - 1 - r;
          if (cy < 0 || cy >= kGlyphCellDy) continue;
          for (int col = 0; col < g.width && left + col < kGlyphCellDx; ++col) {
            float cover = static_cast<unsigned char>(g.coverage[std::size_t(r) * g.width + col]) / 255.0f;
            if (cover > 0) c.set(cell_s + left + col, cell_t + cy, {1, 1, 1, std::pow(cover, weight)});
          }
        }
      }
  } else if (cmd == "swatch") {
    // swatch INDEX X Y COLOUR: a block whose centre pixel the palette reads
    need(4);
    int x = int(n(2)) + int(ox), y = int(n(3)) + int(oy);
    rgba c = colour(w[4]);
    c.a = 1;
    target().fill_rect(x - 4, y - 3, 9, 7, paint{c, c, false});
    swatches_.push_back({int(n(1)), x, y, w[4]});
  } else if (cmd == "globe") {
    // globe S T FIRST COUNT: the animated icon frames
    need(4);
    globe_colours gc{colour("globe_ocean_dark"), colour("globe_ocean_light"), colour("globe_grid"),
                     colour("globe_orbit"), colour("globe_plane")};
    paint_globe_icons(target(), int(n(1) + ox), int(n(2) + oy), int(n(3)), int(n(4)), gc);
  } else {
    fail("I do not know the command '" + cmd + "'.");
  }
}
