#include "app/console_win32.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "core/utf16_win32.h"

namespace {

UINT parent_code_page = 0;

// Gives the shared console its code page back when the program ends.
void restore_code_page() {
  if (parent_code_page) SetConsoleOutputCP(parent_code_page);
}

bool to_file_or_pipe(DWORD type) { return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE; }

// A stream keeps where it goes when that is a file, a pipe or a device such as NUL; a console,
// or nothing, is replaced by the console just attached.
bool keeps_its_handle(HANDLE h, DWORD type) {
  DWORD mode = 0;
  return to_file_or_pipe(type) || (type == FILE_TYPE_CHAR && !GetConsoleMode(h, &mode));
}

void attach() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD out_type = out && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN;
  DWORD err_type = err && err != INVALID_HANDLE_VALUE ? GetFileType(err) : FILE_TYPE_UNKNOWN;
  if (to_file_or_pipe(out_type) && to_file_or_pipe(err_type)) return;
  // Started from Explorer there is no console, and nothing is printed.
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!keeps_its_handle(out, out_type) && std::freopen("CONOUT$", "w", stdout)) std::cout.clear();
  if (!keeps_its_handle(err, err_type) && std::freopen("CONOUT$", "w", stderr)) std::cerr.clear();
  // The program's texts are UTF-8.
  parent_code_page = GetConsoleOutputCP();
  if (parent_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restore_code_page);
}

}  // namespace

void attach_parent_console() {
  attach();
  // Lines end in \n alone, as on Linux, so that scripts read the output alike on both systems;
  // a console starts a new line at \n by itself.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool stdout_is_console() {
  // _isatty is also true for NUL, so the console is asked directly.
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
  DWORD mode = 0;
  if (h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &mode)) return false;
  // The progress line is rewritten in place with escape sequences, which older consoles print as text.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) || SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::vector<std::string> utf8_arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 0; i < count; ++i) args.push_back(to_utf8(wide[i]));
  LocalFree(wide);
  return args;
}
