// zephra-art: paints the installer's four embedded images from the source art in assets/ and
// writes them as raw RGBA (bottom row first) for the program, with PNG previews beside them.
//
//   zephra-art ASSETS_DIR OUTPUT_DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "png_write.h"
#include "script.h"
#include "ui/glyph_table.h"

namespace {

struct wanted_image {
  const char* name;
  int width, height;
};

// The pictures the program embeds, by the names the source art gives them.
constexpr wanted_image kWanted[] = {
    {"interface", 512, 512}, {"installer", 1010, 764}, {"ins_back_1", 1024, 768}, {"ins_back_2", 1024, 768}};

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "zephra-art: %s\n", message.c_str());
  std::exit(1);
}

// Writes through a temporary name so that a failed run never leaves half a file behind.
void write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::path temp = path;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) die("I could not write " + temp.string() + ".");
  }
  std::filesystem::rename(temp, path);
}

void write_preview(const std::filesystem::path& path, const canvas& picture) {
  if (!write_png(path.string(), picture.width(), picture.height(), picture.bytes()))
    die("I could not write " + path.string() + ".");
}

// The atlas at three times its size over the background colour, so the small art can be seen.
canvas enlarged_atlas(const canvas& atlas, const rgba& back) {
  const int k = 3;
  canvas big(atlas.width() * k, atlas.height() * k);
  for (int y = 0; y < big.height(); ++y)
    for (int x = 0; x < big.width(); ++x) {
      big.set(x, y, {back.r, back.g, back.b, 1});
      big.blend(x, y, atlas.at(x / k, y / k), 1);
    }
  return big;
}

// Text set from the atlas cells exactly as the program sets it: each cell drawn at the pen, two
// pixels below the line, the pen moved by the character's advance (or the fixed pitch).
void set_text(canvas& page, const canvas& atlas, int x, int y, const std::string& text, const rgba& colour,
              int face_s, int pitch) {
  for (unsigned char ch : text) {
    const glyph_cell& g = glyph_for(ch);
    int s = face_s + g.column * kGlyphCellDx, t = g.row * kGlyphCellDy;
    for (int cy = 0; cy < kGlyphCellDy; ++cy)
      for (int cx = 0; cx < kGlyphCellDx; ++cx) {
        float a = atlas.at(s + cx, t + cy).a;
        if (a > 0) page.blend(x + cx, y - 2 + cy, colour, a);
      }
    x += pitch > 0 ? pitch : g.advance;
  }
}

canvas text_sample(const canvas& atlas, art_script& script) {
  const auto& colours = script.colours();
  auto find = [&](const char* name) {
    auto it = colours.find(name);
    return it == colours.end() ? rgba{1, 1, 1, 1} : it->second;
  };
  canvas page(560, 150);
  rgba back = find("slate_back");
  page.fill_rect(0, 0, page.width(), page.height(), paint{{back.r, back.g, back.b, 1}, {}, false});
  set_text(page, atlas, 10, 130, "OK I am installing this now... 42% done with the internet install.", find("text"),
           0, 0);
  set_text(page, atlas, 10, 115, "The quick brown fox jumps over the lazy dog! (0123456789) [a-z] {A-Z}?",
           find("label"), 0, 0);
  set_text(page, atlas, 10, 100, "Looking for servers... you need internet for this...", find("accent_light"), 0,
           0);
  set_text(page, atlas, 10, 85, "\xC1\xE1 \xC9\xE9 \xCD\xED \xD3\xF3 \xDA\xFA \xD1\xF1 \xBF @#$%^&*_+=|\\';:<>,./`",
           find("list_text"), 0, 0);
  set_text(page, atlas, 10, 65, "0123456789 -.,x  (fixed pitch 6)", find("field_text"), kFixedFaceS, 6);
  set_text(page, atlas, 10, 45, "0123456789 -.,x  (pitch 10)", find("field_text"), kFixedFaceS, 10);
  set_text(page, atlas, 10, 25, "Operating System to download Zephra for:", find("label"), 0, 0);
  set_text(page, atlas, 10, 10, "INSTALLATION COMPLETE! Click on the 'DESTINATION' button", find("text"), 0, 0);
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) die("usage: zephra-art ASSETS_DIR OUTPUT_DIR");
  std::filesystem::path assets = argv[1], out = argv[2];
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) die("I could not make the folder " + out.string() + ": " + ec.message());

  art_script script;
  script.run_file((assets / "interface.txt").string());
  script.run_file((assets / "backgrounds.txt").string());
  std::vector<finished_image>& images = script.finish();

  for (const wanted_image& want : kWanted) {
    const finished_image* found = nullptr;
    for (const finished_image& image : images)
      if (image.name == want.name) found = &image;
    if (!found) die(std::string("The source art has no image named ") + want.name + ".");
    if (found->pixels.width() != want.width || found->pixels.height() != want.height)
      die(std::string("The image ") + want.name + " must be " + std::to_string(want.width) + " x " +
          std::to_string(want.height) + ".");
    write_bytes(out / (std::string(want.name) + ".rgba"), found->pixels.bytes());
    write_preview(out / (std::string(want.name) + ".png"), found->pixels);
    if (want.name == std::string("interface")) {
      auto back = script.colours().find("slate_back");
      rgba b = back == script.colours().end() ? rgba{0, 0, 0, 1} : back->second;
      write_preview(out / "interface_x3.png", enlarged_atlas(found->pixels, b));
      write_preview(out / "text_sample.png", text_sample(found->pixels, script));
      std::ofstream notes(out / "palette.txt");
      notes << "# palette entries the program samples from the interface atlas\n";
      for (const auto& s : script.swatches()) {
        const rgba& p = found->pixels.at(s.x, s.y);
        notes << s.index << "\t" << s.x << "," << s.y << "\t" << std::lround(p.r * 255) << " "
              << std::lround(p.g * 255) << " " << std::lround(p.b * 255) << "\t" << s.colour << "\n";
      }
    }
  }
  // The desktop icon: a picture only, never embedded.
  for (const finished_image& image : images)
    if (image.name == "icon") write_preview(out / "icon.png", image.pixels);
  return 0;
}
