// GL entry-point lookup and buffer swapping through WGL, which made the context.
#include <windows.h>

#include <cstdint>

#include "ui/gl_extensions.h"
#include "ui/window_state.h"

void* gl_proc_address(const char* name) {
  // wglGetProcAddress knows only what the driver adds beyond GL 1.1; some drivers answer a
  // missing name with 1, 2, 3 or -1 instead of null.
  PROC proc = wglGetProcAddress(name);
  auto value = reinterpret_cast<intptr_t>(proc);
  if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) {
    // The GL 1.1 functions are exported by the system's GL library itself.
    static HMODULE gl_library = LoadLibraryW(L"opengl32.dll");
    proc = gl_library ? GetProcAddress(gl_library, name) : nullptr;
  }
  return reinterpret_cast<void*>(proc);
}

void gl_swap_window(void* window) {
  if (!window) return;
  for (int w = 0; w < 2; ++w) {
    if (mnw.window[w] == window && mnw.dc[w]) {
      SwapBuffers(static_cast<HDC>(mnw.dc[w]));
      return;
    }
  }
  // A window whose device context is not kept: its class owns one, so this is the same one.
  HWND hwnd = static_cast<HWND>(window);
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  SwapBuffers(dc);
  ReleaseDC(hwnd, dc);
}
