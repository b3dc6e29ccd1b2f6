#include "tests/support/x11_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

namespace testing_support {

namespace {
// The first window below root whose name is title.
Window find_window(Display* d, Window root, const std::string& title) {
  char* name = nullptr;
  if (XFetchName(d, root, &name) && name) {
    bool match = title == name;
    XFree(name);
    if (match) return root;
  }
  Window parent, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (XQueryTree(d, root, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count && !found; ++i) found = find_window(d, children[i], title);
    if (children) XFree(children);
  }
  return found;
}

struct display_handle {
  Display* d = XOpenDisplay(nullptr);
  ~display_handle() {
    if (d) XCloseDisplay(d);
  }
};
}  // namespace

bool x11_wait_for_window(const std::string& title, double timeout_s) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_s);
  while (std::chrono::steady_clock::now() < until) {
    display_handle x;
    if (x.d) {
      Window w = find_window(x.d, DefaultRootWindow(x.d), title);
      XWindowAttributes attrs;
      if (w && XGetWindowAttributes(x.d, w, &attrs) && attrs.map_state == IsViewable) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

bool x11_close_window(const std::string& title) {
  display_handle x;
  if (!x.d) return false;
  Window w = find_window(x.d, DefaultRootWindow(x.d), title);
  if (!w) return false;
  XEvent e;
  std::memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(x.d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(x.d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.d, w, False, NoEventMask, &e);
  XFlush(x.d);
  return true;
}

bool x11_read_window(const std::string& title, std::vector<unsigned char>& rgba, int& width, int& height) {
  display_handle x;
  if (!x.d) return false;
  Window w = find_window(x.d, DefaultRootWindow(x.d), title);
  XWindowAttributes attrs;
  if (!w || !XGetWindowAttributes(x.d, w, &attrs)) return false;
  XImage* image = XGetImage(x.d, w, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap);
  if (!image) return false;
  width = attrs.width;
  height = attrs.height;
  rgba.assign(static_cast<size_t>(attrs.width) * attrs.height * 4, 0);
  for (int y = 0; y < attrs.height; ++y)
    for (int px = 0; px < attrs.width; ++px) {
      unsigned long p = XGetPixel(image, px, y);
      unsigned char* out = &rgba[(static_cast<size_t>(attrs.height - 1 - y) * attrs.width + px) * 4];
      out[0] = static_cast<unsigned char>((p & image->red_mask) >> 16);
      out[1] = static_cast<unsigned char>((p & image->green_mask) >> 8);
      out[2] = static_cast<unsigned char>(p & image->blue_mask);
      out[3] = 255;
    }
  XDestroyImage(image);
  return true;
}

bool x11_save_window_png(const std::string& title, const std::string& path) {
  std::vector<unsigned char> rgba;
  int width = 0, height = 0;
  if (!x11_read_window(title, rgba, width, height)) return false;
  write_png_bottom_up(path, rgba.data(), width, height);
  return true;
}

bool x11_click(const std::string& title, int x, int y) {
  int root_x = 0, root_y = 0;
  {
    display_handle xd;
    if (!xd.d) return false;
    Window w = find_window(xd.d, DefaultRootWindow(xd.d), title);
    XWindowAttributes attrs;
    if (!w || !XGetWindowAttributes(xd.d, w, &attrs)) return false;
    Window child;
    XTranslateCoordinates(xd.d, w, DefaultRootWindow(xd.d), x, attrs.height - y, &root_x, &root_y, &child);
  }
  // Move first and let a frame see the mouse there, then press and release like a person.
  std::string at = std::to_string(root_x) + " " + std::to_string(root_y);
  return run_command("xdotool mousemove " + at + " sleep 0.15 mousedown 1 sleep 0.1 mouseup 1") == 0;
}

bool x11_type(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return run_command("xdotool type --delay 60 " + quoted + "'") == 0;
}

bool x11_key(const std::string& key_name) { return run_command("xdotool key " + key_name) == 0; }

}  // namespace testing_support
