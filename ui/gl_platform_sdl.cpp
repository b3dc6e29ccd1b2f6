// GL entry-point lookup and buffer swapping through SDL, which made the context.
#include <SDL.h>

#include "ui/gl_extensions.h"

void* gl_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

void gl_swap_window(void* window) {
  if (window) SDL_GL_SwapWindow(static_cast<SDL_Window*>(window));
}
