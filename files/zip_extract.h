#pragma once
// Unpacks one downloaded zip archive into a folder.
#include <string>

// Returns 0, or an error code for error_str. out_file receives the first entry's stored name;
// force_name writes the first entry under the name out_file holds.
int zip_to_file(std::string zip_file, std::string out_directory, std::string* out_file, int force_name);
