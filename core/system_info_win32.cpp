#include <windows.h>

#include <atomic>
#include <cwchar>
#include <filesystem>

#include "core/own_files.h"
#include "core/system_info.h"
#include "core/utf16_win32.h"

namespace {

std::string with_trailing_separator(std::string path) {
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

// An environment variable as UTF-8; empty when it is not set.
std::string environment(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::string();
  std::wstring value(size, L'\0');
  DWORD got = GetEnvironmentVariableW(name, value.data(), size);
  if (got == 0 || got >= size) return std::string();
  value.resize(got);
  return to_utf8(value);
}

std::string run_temp_folder;  // made once per run, removed at the normal finish-up

constexpr const wchar_t* kRunTempPrefix = L"zephra-installer-";

// True when process pid is still running; a number that names no process gives false.
bool process_alive(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;  // denied: it exists
  bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return alive;
}

// Removes the temporary folders of earlier runs that were killed: ours by name, made by a process
// that no longer exists. The temporary folder is the user's own, so the owner needs no check.
void remove_dead_runs_temp_folders(const std::wstring& base) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    std::wstring name = entry.path().filename().wstring();
    if (name.rfind(kRunTempPrefix, 0) != 0) continue;
    std::wstring rest = name.substr(std::char_traits<wchar_t>::length(kRunTempPrefix));
    size_t dash = rest.find(L'-');
    if (dash == 0 || dash == std::wstring::npos || rest.size() - dash - 1 != 6) continue;
    if (rest.find_first_not_of(L"0123456789") != dash) continue;
    unsigned long pid = std::wcstoul(rest.c_str(), nullptr, 10);
    std::error_code status_ec;
    if (!entry.is_directory(status_ec) || entry.is_symlink(status_ec)) continue;
    if (pid == 0 || process_alive(static_cast<DWORD>(pid))) continue;
    remove_own_tree(to_utf8(entry.path().wstring()));
  }
}

// The root of the last fixed drive in the system's drive list ("D:\" when C: and D: are fixed
// disks); empty when there is none.
std::string last_fixed_drive() {
  wchar_t drives[500];
  DWORD len = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(drives)) - 1, drives);
  if (len == 0 || len >= std::size(drives)) return std::string();
  std::string root;
  for (const wchar_t* d = drives; *d; d += std::wcslen(d) + 1)
    if (GetDriveTypeW(d) == DRIVE_FIXED) root = to_utf8(d);
  return root;
}

}  // namespace

std::string system_os_line() {
  // RtlGetVersion gives the true version; GetVersionEx answers 6.2 to a program without a manifest.
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  using rtl_get_version = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  bool known = false;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
    if (auto get = reinterpret_cast<rtl_get_version>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
      known = get(&v) == 0;
  if (!known) known = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v));
  if (!known) return "Windows (build unknown) ";
  return "Windows " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + " (build " +
         std::to_string(v.dwBuildNumber) + "/" + std::to_string(v.dwPlatformId) + ") " + to_utf8(v.szCSDVersion);
}

std::string system_cpu_type() {
  SYSTEM_INFO si{};
  GetNativeSystemInfo(&si);
  return std::to_string(si.dwProcessorType);
}

unsigned long long system_physical_memory() {
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  return GlobalMemoryStatusEx(&m) ? m.ullTotalPhys : 0;
}

std::vector<std::string> system_cpu_lines() {
  // One line per processor whose registry key opens; a value that is missing, or of another type,
  // leaves out just its part of the line.
  SYSTEM_INFO si{};
  GetNativeSystemInfo(&si);
  std::vector<std::string> lines;
  for (DWORD n = 0; n < si.dwNumberOfProcessors; ++n) {
    std::wstring key = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\" + std::to_wstring(n);
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) continue;
    std::string line = "CPU 0: ";
    wchar_t name[130] = {};  // 260 bytes
    DWORD type = 0, size = sizeof name - sizeof(wchar_t);
    if (RegQueryValueExW(h, L"ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ)
      line += to_utf8(name) + " ";
    DWORD mhz = 0;
    size = sizeof mhz;
    if (RegQueryValueExW(h, L"~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
      line += " Speed (mhz): " + std::to_string(mhz);
    RegCloseKey(h);
    lines.push_back(line);
  }
  return lines;
}

std::string system_program_file() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    // A full buffer means the name was cut short.
    if (n < path.size()) {
      path.resize(n);
      return to_utf8(path);
    }
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

std::string system_home_folder() {
  std::string home = environment(L"USERPROFILE");
  if (home.empty()) {
    std::string drive = environment(L"HOMEDRIVE"), rest = environment(L"HOMEPATH");
    if (!drive.empty() && !rest.empty()) home = drive + rest;
  }
  return with_trailing_separator(home);
}

std::string system_run_temp_folder() {
  if (!run_temp_folder.empty()) return run_temp_folder;
  wchar_t base[MAX_PATH + 1];
  DWORD len = GetTempPathW(MAX_PATH + 1, base);
  if (len == 0 || len > MAX_PATH) return std::string();
  std::wstring folder(base, len);
  if (folder.back() != L'\\') folder += L'\\';
  remove_dead_runs_temp_folders(folder);
  // The process number in the name lets a later run tell that this one is gone; the six
  // characters after it make the name unique, and CreateDirectoryW settles any clash.
  std::wstring stem = folder + kRunTempPrefix + std::to_wstring(GetCurrentProcessId()) + L"-";
  static std::atomic<unsigned> counter{0};
  unsigned long long v = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentThreadId()) << 20);
  for (int attempt = 0; attempt < 100; ++attempt) {
    v = v * 6364136223846793005ull + 1442695040888963407ull + counter.fetch_add(1);
    std::wstring name = stem;
    unsigned long long bits = v >> 16;
    for (int i = 0; i < 6; ++i, bits /= 62)
      name += L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[bits % 62];
    if (CreateDirectoryW(name.c_str(), nullptr)) {
      run_temp_folder = to_utf8(name) + "\\";
      break;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return run_temp_folder;
}

void system_remove_run_temp_folder() {
  if (run_temp_folder.empty()) return;
  remove_own_tree(run_temp_folder);
  run_temp_folder.clear();
}

std::string system_config_folder() {
  // The user's roaming application data: the root of a drive, where the preference file was once
  // kept, is not writable for a standard user on current Windows. Without APPDATA, the root of
  // the last fixed drive.
  std::string data = environment(L"APPDATA");
  if (data.empty()) return last_fixed_drive();
  CreateDirectoryW(to_utf16(data).c_str(), nullptr);
  return with_trailing_separator(data);
}

std::string system_state_folder(bool make) {
  std::string local = environment(L"LOCALAPPDATA");
  if (local.empty()) return std::string();
  const std::string folder = with_trailing_separator(local) + "Zephra";
  bool link_removed = false;
  if (make && make_own_folder(folder, link_removed) != 0) return std::string();
  return folder + "\\";
}

bool system_folder_writable(const std::string& folder) {
  // The folder's access list decides, and only trying tells: a probe file that is gone once closed.
  static std::atomic<unsigned> counter{0};
  std::wstring probe = to_utf16(with_trailing_separator(folder.empty() ? std::string(".") : folder)) +
                       L".zephra-write-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(counter.fetch_add(1));
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}
