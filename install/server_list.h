#pragma once
// The server list: the release on offer and the download servers that carry it.
#include <string>

constexpr int kMaxServers = 10;

extern std::string server_name[kMaxServers];  // host, may carry ":PORT"
extern std::string server_path[kMaxServers];  // folder on the host, ending with install_name + "/"
extern std::string server_desc[kMaxServers];  // text of the server's radio button

// Reads the fetched list into the server table, install_name and the first server choice.
// A list in a format this installer does not know ends the program through new_format().
void read_server_list(const std::string& path);
// Tells the user to get a new installer, opens the download page, and ends the program.
void new_format(const std::string& path);
// A server index in 0..num_servers-1, servers early in the list more likely (exponent 1.3).
int weighted_server_choice(int num_servers);
// The server to try after one failed: drawn as weighted_server_choice among all but failed, so
// that a broken server is never asked again straight away; 0 with a single server.
int another_server(int failed, int num_servers);
