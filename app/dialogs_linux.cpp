#include <SDL.h>

#include "app/dialogs.h"

bool system_message_box(const std::string& title, const std::string& text) {
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(), nullptr) == 0;
}

bool system_open_url(const std::string& url) { return SDL_OpenURL(url.c_str()) == 0; }
