#pragma once
// The names of os_replacement_file's temporary files, ".zephra-part-" and ten lower-case letters
// or digits, shared by both systems' file layers.
#include <string>

// A new temporary name; uniqueness is settled by creating the file exclusively, this only
// avoids retries. process_id tells two programs' names apart.
std::string replacement_file_name(unsigned long long process_id);
// True for exactly the names replacement_file_name makes.
bool is_replacement_file_name(const std::string& name);
