// The only file that talks to the Windows user interface and WGL: the window class, the window
// and its GL context, the message loop and window procedure, display modes and the cursor.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "app/window.h"
#include "core/utf16_win32.h"
#include "ui/gl_state.h"
#include "ui/window_state.h"

namespace {

constexpr wchar_t kWindowName[] = L"Lumara";  // class name and title, which the tests look for

bool class_registered = false;
bool cursor_shown = true;
wchar_t pending_high_surrogate = 0;

// The mode found at the first call, restored at the end.
struct display_mode_memory {
  bool known = false;
  bool change_needed = false;
  int w = 0, h = 0, depth = 32;
};
display_mode_memory first_mode;
bool mode_changed = false;

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

// The Windows virtual-key codes the key handler takes by name; other keys type characters,
// which arrive as WM_CHAR.
bool named_key(WPARAM vk) {
  switch (vk) {
    case VK_RETURN: case VK_TAB: case VK_BACK: case VK_DELETE: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN: case VK_PRIOR: case VK_NEXT: case VK_INSERT: case VK_SHIFT:
      return true;
    default:
      return vk >= VK_F1 && vk <= VK_F12;
  }
}

bool shift_held() { return GetKeyState(VK_SHIFT) < 0; }

// One UTF-16 unit of typed text; a surrogate pair arrives as two messages.
void typed_unit(wchar_t unit) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    pending_high_surrogate = unit;
    return;
  }
  std::wstring text;
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (!pending_high_surrogate) return;
    text = {pending_high_surrogate, unit};
  } else if (unit >= 32 && unit != 127) {
    // Control characters (Backspace, Tab, Return, Escape) come as named keys, not as text.
    text = unit;
  }
  pending_high_surrogate = 0;
  if (!text.empty()) on_text_input(to_utf8(text).c_str());
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      on_window_paint();
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // GL covers the whole client area; erasing first only flickers
    case WM_CLOSE:
      // The window stays until the finish-up releases it; the frame loop ends instead.
      on_window_close();
      return 0;
    case WM_KEYDOWN:
      on_key_down(named_key(wparam) ? static_cast<unsigned int>(wparam) : 0, shift_held());
      return 0;
    case WM_KEYUP:
      on_key_up();
      return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // F10 comes as a system key; left to the system it would open the window menu and swallow
      // the next key. Keys with Alt (Alt+F4, Alt+Tab) stay the system's.
      if (wparam != VK_F10) break;
      if (message == WM_SYSKEYDOWN)
        on_key_down(VK_F10, shift_held());
      else
        on_key_up();
      return 0;
    case WM_CHAR:
      typed_unit(static_cast<wchar_t>(wparam));
      return 0;
    case WM_MOUSEMOVE:
      on_mouse_move(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // Captured, so that a release outside the window still arrives.
      SetCapture(hwnd);
      on_mouse_move(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      on_mouse_button(true);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (!(wparam & (MK_LBUTTON | MK_RBUTTON))) ReleaseCapture();
      on_mouse_button(false);
      return 0;
    case WM_MOUSEWHEEL:
      on_mouse_wheel(GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool register_class() {
  if (class_registered) return true;
  WNDCLASSW wc{};
  // Its own device context: the GL context stays bound to one for the window's life.
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = window_procedure;
  wc.hInstance = instance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kWindowName;
  class_registered = RegisterClassW(&wc) != 0;
  return class_registered;
}

void unregister_class() {
  if (class_registered) UnregisterClassW(kWindowName, instance());
  class_registered = false;
}

// The current display mode of the main monitor; false when the record lacks any of the three.
bool current_mode(int& w, int& h, int& depth) {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
  const DWORD needed = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
  if ((mode.dmFields & needed) != needed) return false;
  w = static_cast<int>(mode.dmPelsWidth);
  h = static_cast<int>(mode.dmPelsHeight);
  depth = static_cast<int>(mode.dmBitsPerPel);
  return true;
}

// Switches off waiting for the display's refresh where the driver allows it, so that frames are
// not held back while an installation runs.
void no_swap_wait() {
  using swap_interval_fn = BOOL(WINAPI*)(int);
  PROC proc = wglGetProcAddress("wglSwapIntervalEXT");
  if (proc) reinterpret_cast<swap_interval_fn>(reinterpret_cast<void*>(proc))(0);
}

void release_window(HWND hwnd, HDC dc, HGLRC context) {
  if (context) {
    if (wglGetCurrentContext() == context) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
  }
  if (dc) ReleaseDC(hwnd, dc);
  if (hwnd) DestroyWindow(hwnd);
}

void dispatch_waiting(bool& any) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    if (msg.message == WM_QUIT) {
      on_window_close();
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

bool window_display_available() {
  // A service or a locked-down session has a window station nobody can see.
  HWINSTA station = GetProcessWindowStation();
  if (!station) return false;
  USEROBJECTFLAGS flags{};
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

int MACIBM_setres(int init_call) {
  mnw.x_res_now = mnw.x_res_req;
  mnw.y_res_now = mnw.y_res_req;
  mnw.col_res_now = mnw.col_res_req;
  int mon_w = 0, mon_h = 0, depth = 32;
  current_mode(mon_w, mon_h, depth);
  bool change = mnw.set_res || mon_w < 1024 || mon_h < 768;
  if (!first_mode.known) first_mode = {true, change, mon_w, mon_h, depth};

  if (!init_call) {
    // The mode kept in the registry is the desktop's own.
    if (first_mode.change_needed && mode_changed) ChangeDisplaySettingsW(nullptr, 0);
    mode_changed = false;
    return 1;
  }
  if (!change || (mon_w == mnw.x_res_req && mon_h == mnw.y_res_req)) return 1;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  const DWORD needed = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
    if ((mode.dmFields & needed) != needed) continue;
    if (static_cast<int>(mode.dmPelsWidth) != mnw.x_res_req || static_cast<int>(mode.dmPelsHeight) != mnw.y_res_req ||
        static_cast<int>(mode.dmBitsPerPel) != mnw.col_res_req)
      continue;
    mode.dmFields = needed;
    if (ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
      mode_changed = true;
      return 1;
    }
  }
  return 0;
}

int MACIBM_make_context(int w) {
  if (w != 0 || !register_class()) return 0;

  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int work_w = work.right - work.left, work_h = work.bottom - work.top;
  // A window with 40 pixels to spare gets a caption; otherwise it is a borderless pop-up.
  bool draggable = !mode_changed && work_w >= mnw.x_res_now + 40 && work_h >= mnw.y_res_now + 40;
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS |
                (draggable ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX : WS_POPUP);
  // The outer rectangle grows so that the client area has the requested size.
  RECT outer{0, 0, mnw.x_res_now, mnw.y_res_now};
  AdjustWindowRect(&outer, style, FALSE);
  const int outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
  int x = 0, y = 0;
  if (draggable) {
    x = work.left + std::max(0, (work_w - outer_w) / 2);
    y = work.top + std::max(0, (work_h - outer_h) / 2);
  }
  HWND hwnd = CreateWindowExW(0, kWindowName, kWindowName, style, x, y, outer_w, outer_h, nullptr, nullptr,
                              instance(), nullptr);
  if (!hwnd) return 0;
  // The show command the program was started with (minimised, normal) applies here.
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  SetForegroundWindow(hwnd);
  HDC dc = GetDC(hwnd);
  if (!dc) {
    release_window(hwnd, nullptr, nullptr);
    return 0;
  }

  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = static_cast<BYTE>(mnw.col_res_now);
  pfd.cDepthBits = 32;
  pfd.iLayerType = PFD_MAIN_PLANE;
  int format = ChoosePixelFormat(dc, &pfd);
  if (!format || !SetPixelFormat(dc, format, &pfd)) {
    release_window(hwnd, dc, nullptr);
    return 0;
  }
  HGLRC context = wglCreateContext(dc);
  if (!context || !wglMakeCurrent(dc, context)) {
    release_window(hwnd, dc, context);
    return 0;
  }
  no_swap_wait();
  mnw.window[0] = hwnd;
  mnw.context[0] = context;
  mnw.dc[0] = dc;
  // The program asks for no anti-aliasing, so the plain format is the one used.
  mnw.alias_act = 0;
  OGL_initial_state();
  return 1;
}

void MACIBM_nuke_context(int w) {
  if (w != 0) return;
  release_window(static_cast<HWND>(mnw.window[0]), static_cast<HDC>(mnw.dc[0]), static_cast<HGLRC>(mnw.context[0]));
  mnw.context[0] = nullptr;
  mnw.dc[0] = nullptr;
  mnw.window[0] = nullptr;
  // Messages sent during destruction are handled; the class goes with the last window.
  bool any = false;
  dispatch_waiting(any);
  unregister_class();
}

void window_pump_events(int wait_ms) {
  bool any = false;
  dispatch_waiting(any);
  if (any || wait_ms <= 0) return;
  DWORD woke = MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait_ms), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (woke == WAIT_OBJECT_0) dispatch_waiting(any);
}

void window_show_cursor(bool shown) {
  if (shown == cursor_shown) return;
  // ShowCursor keeps a count; the cursor is visible while it is 0 or more.
  if (shown)
    while (ShowCursor(TRUE) < 0) {
    }
  else
    while (ShowCursor(FALSE) >= 0) {
    }
  cursor_shown = shown;
}
