// The only file that talks to SDL's video and event layers.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/window.h"
#include "core/app_state.h"
#include "ui/gl_state.h"
#include "ui/window_state.h"

namespace {

bool video_started = false;

// The mode found at the first call, restored at the end.
struct display_mode_memory {
  bool known = false;
  bool change_needed = false;
  int w = 0, h = 0, depth = 32;
};
display_mode_memory first_mode;
SDL_DisplayMode chosen_mode{};
bool use_chosen_mode = false;

bool start_video() {
  if (video_started) return true;
  // Without this, SDL catches SIGTERM and a stuck program ignores a plain kill.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  video_started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  return video_started;
}

// The Windows virtual-key code of a named key, or 0 for keys that type characters.
unsigned int virtual_key(SDL_Keycode key) {
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 0x0D;
    case SDLK_TAB: return 0x09;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_DELETE: return 0x2E;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_INSERT: return 0x2D;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 0x10;
    default: break;
  }
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + static_cast<unsigned int>(key - SDLK_F1);
  return 0;
}

void dispatch(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: on_window_close(); break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) on_window_close();
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) on_window_paint();
      break;
    case SDL_KEYDOWN:
      if (unsigned int vk = virtual_key(e.key.keysym.sym)) on_key_down(vk, (e.key.keysym.mod & KMOD_SHIFT) != 0);
      else on_key_down(0, (e.key.keysym.mod & KMOD_SHIFT) != 0);
      break;
    case SDL_KEYUP: on_key_up(); break;
    case SDL_TEXTINPUT: on_text_input(e.text.text); break;
    case SDL_MOUSEMOTION: on_mouse_move(e.motion.x, e.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT) {
        on_mouse_move(e.button.x, e.button.y);
        on_mouse_button(true);
      }
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT) on_mouse_button(false);
      break;
    case SDL_MOUSEWHEEL: on_mouse_wheel(e.wheel.y * 120); break;
    default: break;
  }
}

}  // namespace

bool window_display_available() {
  // Without either display variable no video driver can show a window, and probing them only
  // prints the drivers' complaints.
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!(x11 && *x11) && !(wayland && *wayland)) return false;
  if (!start_video()) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

int MACIBM_setres(int init_call) {
  mnw.x_res_now = mnw.x_res_req;
  mnw.y_res_now = mnw.y_res_req;
  mnw.col_res_now = mnw.col_res_req;
  // Going back to a mode that was never changed needs no video system (the unattended mode).
  if (!init_call && !video_started) return 1;
  if (!start_video()) return 0;
  SDL_DisplayMode current{};
  int mon_w = 0, mon_h = 0, depth = 32;
  if (SDL_GetDesktopDisplayMode(0, &current) == 0 && current.w && current.h) {
    mon_w = current.w;
    mon_h = current.h;
    depth = static_cast<int>(SDL_BITSPERPIXEL(current.format));
  }
  bool change = mnw.set_res || mon_w < 1024 || mon_h < 768;
  if (!first_mode.known) first_mode = {true, change, mon_w, mon_h, depth};

  if (!init_call) {
    // Leaving full screen gives the desktop its own mode back.
    if (first_mode.change_needed && mnw.window[0]) SDL_SetWindowFullscreen(static_cast<SDL_Window*>(mnw.window[0]), 0);
    use_chosen_mode = false;
    return 1;
  }
  if (!change || (mon_w == mnw.x_res_req && mon_h == mnw.y_res_req)) return 1;
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    if (mode.w == mnw.x_res_req && mode.h == mnw.y_res_req &&
        static_cast<int>(SDL_BITSPERPIXEL(mode.format)) >= std::min(mnw.col_res_req, 24)) {
      chosen_mode = mode;
      use_chosen_mode = true;
      return 1;
    }
  }
  return 0;
}

int MACIBM_make_context(int w) {
  if (w != 0 || !start_video()) return 0;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

  SDL_Rect usable{0, 0, 0, 0};
  SDL_GetDisplayUsableBounds(0, &usable);
  // A window with 40 pixels to spare gets a caption; otherwise it is a borderless pop-up.
  bool draggable = usable.w >= mnw.x_res_now + 40 && usable.h >= mnw.y_res_now + 40;
  Uint32 flags = SDL_WINDOW_OPENGL | (draggable ? 0 : SDL_WINDOW_BORDERLESS);
  if (use_chosen_mode) flags |= SDL_WINDOW_FULLSCREEN;
  SDL_Window* window = SDL_CreateWindow("Lumara", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, mnw.x_res_now,
                                        mnw.y_res_now, flags);
  if (!window) return 0;
  if (use_chosen_mode) SDL_SetWindowDisplayMode(window, &chosen_mode);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context || SDL_GL_MakeCurrent(window, context) != 0) {
    if (context) SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return 0;
  }
  SDL_GL_SetSwapInterval(0);  // fails under Xvfb, which is harmless
  mnw.window[0] = window;
  mnw.context[0] = context;
  mnw.alias_act = 0;
  SDL_StartTextInput();
  OGL_initial_state();
  return 1;
}

void MACIBM_nuke_context(int w) {
  if (w != 0) return;
  if (mnw.context[0]) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(mnw.context[0]));
  if (mnw.window[0]) SDL_DestroyWindow(static_cast<SDL_Window*>(mnw.window[0]));
  mnw.context[0] = nullptr;
  mnw.window[0] = nullptr;
  // The main window is the last thing that needs the display.
  if (video_started) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video_started = false;
  }
}

void window_pump_events(int wait_ms) {
  SDL_Event e;
  bool any = false;
  while (SDL_PollEvent(&e)) {
    dispatch(e);
    any = true;
  }
  if (!any && wait_ms > 0 && SDL_WaitEventTimeout(&e, wait_ms)) {
    dispatch(e);
    while (SDL_PollEvent(&e)) dispatch(e);
  }
}

void window_show_cursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }
