#pragma once
// File and folder operations, folder listings and the shared output stream.
// Every operation returns 0 or an error code and never throws.
#include <fstream>
#include <string>

constexpr int kListingSlots = 3000;

// Listing tables filled by opensave_getitems from wrk_path.
extern std::string g_file[kListingSlots];
extern std::string g_path_rel[kListingSlots];
extern int g_file_type[kListingSlots];
extern std::string wrk_path;

// Site of the most recent failed system call of this thread, printed by the zip extractor's
// diagnostics; each thread has its own, since archives are unpacked on worker threads.
extern thread_local std::string sErrFile;
extern thread_local int sErrLine;
// Records a failure site: sErrFile becomes "IO_UTILS", sErrLine the given line.
void set_err_site(int line);

// The shared output stream of the writers that use ouf_open.
extern std::ofstream ouf;

int dir_exists(std::string path);
int delete_file(std::string path);
int unlock_file(const std::string& path);
int rename_file(const std::string& dir_name, const std::string& old_name, const std::string& new_name);
int make_folder(const std::string& inFolder);
int show_del_err(int err);
int show_make_dir_err(int err);
int opensave_getitems(int file_type);
int opensave_takeit(int n_ret, int file_type);
int ouf_open(std::string rel_path, int bin_code, int version, std::string copyright);
// The MD5 of a whole file as 32 lowercase hex digits; 0, or 20006 when it cannot be read.
int calc_file_md5(const std::string& inFileName, std::string& outSig);
