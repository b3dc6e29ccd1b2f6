// The system dialogs on Windows: the message box, the browser for a web address and the shell's
// folder dialog.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <string>

#include "app/dialogs.h"
#include "core/utf16_win32.h"
#include "ui/window_state.h"

namespace {

// The shell's dialogs and ShellExecute want COM on the calling thread, the main one here.
void ensure_com() {
  static const bool started = [] {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Already started in another mode by someone else is still usable.
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
  }();
  (void)started;
}

// One COM interface pointer, released when it goes.
template <typename T>
class com_ref {
 public:
  com_ref() = default;
  ~com_ref() {
    if (p_) p_->Release();
  }
  com_ref(const com_ref&) = delete;
  com_ref& operator=(const com_ref&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() { return &p_; }

 private:
  T* p_ = nullptr;
};

HWND main_window() { return static_cast<HWND>(mnw.window[0]); }

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The shell's folder dialog. Sets *shown false when the dialog could not be made at all.
bool shell_folder_dialog(const std::string& prompt, const std::string& action, const std::string& start,
                         std::string& chosen, bool* shown) {
  *shown = false;
  ensure_com();
  com_ref<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(dialog.out()))))
    return false;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
  if (!prompt.empty()) dialog->SetTitle(to_utf16(prompt).c_str());
  if (!action.empty()) dialog->SetOkButtonLabel(to_utf16(action).c_str());
  if (!start.empty()) {
    com_ref<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(to_utf16(start).c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(folder.out()))))
      dialog->SetFolder(folder.get());
  }
  *shown = true;
  // Owned by the program's window, so that it stays in front of it.
  if (FAILED(dialog->Show(main_window()))) return false;  // cancelled, or closed
  com_ref<IShellItem> result;
  if (FAILED(dialog->GetResult(result.out()))) return false;
  PWSTR path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
  std::string folder = to_utf8(path);
  CoTaskMemFree(path);
  if (folder.empty()) return false;
  // A drive root (D:\) keeps its single separator.
  if (folder.back() != '\\') folder += '\\';
  chosen = folder;
  return true;
}

}  // namespace

bool system_message_box(const std::string& title, const std::string& text) {
  MessageBeep(MB_OK);
  return MessageBoxW(nullptr, to_utf16(text).c_str(), to_utf16(title).c_str(),
                     MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND) != 0;
}

bool system_open_url(const std::string& url) {
  // Only web addresses: "open" on anything else would start a program or a document.
  if (!starts_with(url, "http://") && !starts_with(url, "https://")) return false;
  ensure_com();
  HINSTANCE done = ShellExecuteW(main_window(), L"open", to_utf16(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

bool choose_folder(const std::string& prompt, const std::string& action, const std::string& start,
                   std::string& chosen) {
  bool shown = false;
  std::string picked;
  bool answered = shell_folder_dialog(prompt, action, start, picked, &shown);
  if (!shown) return folder_panel(prompt, action, start, chosen);
  if (answered) chosen = picked;
  return answered;
}
