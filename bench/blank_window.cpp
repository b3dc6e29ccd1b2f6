// Opens a 1024 x 768 OpenGL window the way the installer does, draws one textured quad per
// frame for a second and prints its peak resident memory in kB: what the display's OpenGL
// driver alone costs, against which bench/compare.sh puts the window's own peak.
#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <cstdio>
#include <vector>

#include "bench/peak_memory.h"

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "blank_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("blank", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1024, 768,
                                        SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "blank_window: %s\n", SDL_GetError());
    return 1;
  }
  // One small texture, so that the driver's texturing path is loaded as in the installer.
  std::vector<unsigned char> pixels(64 * 64 * 4, 128);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glEnable(GL_TEXTURE_2D);
  glOrtho(0, 1024, 0, 768, -1, 1);
  for (int frame = 0; frame < 60; ++frame) {
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(0, 0);
    glTexCoord2f(1, 0), glVertex2f(1024, 0);
    glTexCoord2f(1, 1), glVertex2f(1024, 768);
    glTexCoord2f(0, 1), glVertex2f(0, 768);
    glEnd();
    SDL_GL_SwapWindow(window);
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
  }
  std::printf("%ld\n", peak_resident_kb());
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
