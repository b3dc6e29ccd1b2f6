#pragma once
// The little drawing language of the source art in assets/: one command per line, painting onto
// the image that the last `image` line started. The command list is at the top of
// assets/interface.txt.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "canvas.h"
#include "font.h"

struct finished_image {
  std::string name;
  canvas pixels;
};

class art_script {
 public:
  // Runs every line of the file; a mistake ends the program with the file name and line number.
  void run_file(const std::string& path);
  // Ends the image being painted; the finished images in the order they were started.
  std::vector<finished_image>& finish();
  // The palette swatches painted so far: index -> (x, y, colour name), for the preview notes.
  struct swatch_note {
    int index, x, y;
    std::string colour;
  };
  const std::vector<swatch_note>& swatches() const { return swatches_; }
  const std::map<std::string, rgba>& colours() const { return colours_; }
  font_face& font(const std::string& name);

 private:
  void run_line(const std::vector<std::string>& words);
  [[noreturn]] void fail(const std::string& message) const;
  rgba colour(const std::string& text) const;
  paint paint_of(const std::string& text, float y0, float y1) const;
  float number(const std::string& word) const;
  canvas& target();

  std::map<std::string, rgba> colours_;
  std::map<std::string, std::string> font_paths_;
  std::map<std::string, std::unique_ptr<font_face>> fonts_;
  std::map<std::string, std::vector<std::vector<std::string>>> groups_;
  std::vector<std::vector<std::string>>* recording_ = nullptr;
  std::vector<finished_image> images_;
  std::vector<swatch_note> swatches_;
  float offset_x_ = 0, offset_y_ = 0;
  std::string file_;
  int line_ = 0;
};
