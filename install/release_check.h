#pragma once
// The installer's side of signed releases. Built with the vendor's public keys, it uses a server
// list only with a good signature, and a directory only when the signed release.txt beside it
// names this release, carries the archive's MD5, has not expired and is not older than what was
// installed into the destination. Built without keys, everything is used as it comes.
#include <string>

// The public keys compiled in, comma-separated base64 texts; empty: releases are not checked.
const char* release_keys_text();
// Whether releases are checked; says once in the log when they are not.
bool releases_checked();

// Polled once serverlist.txt arrived whole at local, with the slot that fetched it: fetches the
// list's signature and checks it. 0: still busy, call again; 1: the list may be read; 2: refused
// (after a few refusals the user is told and release_refused() turns true).
int check_server_list(int slot, const std::string& host, const std::string& local);
bool server_list_check_pending();

// Polled once directory.txt.zip arrived whole at zip from server number server: fetches the
// signed release.txt beside it and checks it. 0: busy; 1: the directory may be used; 2: refused,
// the mirror counts as broken. When every server was refused the user is told once.
int check_release(int slot, int server, const std::string& zip);
bool release_check_pending();

// True once no server offered a release that may be installed; nothing more is fetched.
bool release_refused();
// What was refused, for the screen; empty when nothing was.
std::string release_refusal();

// At the install click: whether the checked release may go into dest_dir_path, with an alert when
// not; then keeps its serial with the destination's records.
bool release_fits_destination();
void remember_release_installed();

// The file in the preference folder that keeps the highest serial installed into dest.
std::string release_record_path(const std::string& dest);
// That serial; 0 when none is kept.
long long installed_serial(const std::string& dest);
