#include "tests/support/xvfb.h"

#include <GL/gl.h>
#include <SDL.h>
#include <png.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ui/window_state.h"

extern char** environ;

namespace testing_support {

namespace {
// A display number is free when neither its lock file nor its socket exists.
bool display_free(int n) {
  struct stat st;
  std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
  std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
  return stat(lock.c_str(), &st) != 0 && stat(sock.c_str(), &st) != 0;
}
}  // namespace

XvfbDisplay::XvfbDisplay() {
  if (const char* d = std::getenv("DISPLAY")) {
    had_display_ = true;
    previous_display_ = d;
  }
  for (int attempt = 0; attempt < 20 && pid_ < 0; ++attempt) {
    int n = 90 + (getpid() * 7 + attempt * 13) % 800;
    if (!display_free(n)) continue;
    std::string display = ":" + std::to_string(n);
    const char* argv[] = {"Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "+extension", "GLX",
                          "-nolisten", "tcp", "-noreset", nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return;
    // Ready once its socket appears; a display taken meanwhile makes it exit, and we try another.
    std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
      struct stat st;
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) break;
      up = stat(sock.c_str(), &st) == 0;
      if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!up) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      continue;
    }
    pid_ = pid;
    name_ = display;
    setenv("DISPLAY", name_.c_str(), 1);
  }
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (had_display_)
    setenv("DISPLAY", previous_display_.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

GlTestWindow::GlTestWindow(int w, int h) : w_(w), h_(h) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* window = SDL_CreateWindow("Zephra test", 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) return;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return;
  }
  SDL_GL_MakeCurrent(window, context);
  window_ = window;
  context_ = context;
  mnw.window[0] = window;
  mnw.context[0] = context;
  mnw.x_res_now = w;
  mnw.y_res_now = h;
  glViewport(0, 0, w, h);
}

GlTestWindow::~GlTestWindow() {
  if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  mnw.window[0] = nullptr;
  mnw.context[0] = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<unsigned char> GlTestWindow::read_pixels() const {
  std::vector<unsigned char> pixels(static_cast<size_t>(w_) * h_ * 4);
  if (!context_) return pixels;
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void GlTestWindow::save_png(const std::string& path) const {
  std::vector<unsigned char> pixels = read_pixels();
  write_png_bottom_up(path, pixels.data(), w_, h_);
}

void write_png_bottom_up(const std::string& path, const unsigned char* rgba, int w, int h) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, out);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = h - 1; y >= 0; --y) png_write_row(png, const_cast<png_bytep>(rgba + static_cast<size_t>(y) * w * 4));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
}

}  // namespace testing_support
