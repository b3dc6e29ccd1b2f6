#pragma once
// What names the installer can carry: checks for file and folder names, release names, server
// entries, and the patterns that give files their operating-system code.
#include <string>

// Each check returns an empty text when the name is usable, else why it is not (for a message).

// One folder or file name of the master folder.
std::string path_component_problem(const std::string& name);
// The name of a file: a folder name that the unzipper also writes (it skips "__MACOSX" names).
std::string file_name_problem(const std::string& name);
// The release name: it becomes a folder on the servers and of the installation.
std::string release_name_problem(const std::string& name);
// HOST or HOST:PORT.
std::string server_host_problem(const std::string& host);
// The folder on the server, beginning with "/"; a missing final "/" is added.
std::string server_path_problem(std::string& path);
// The label of the server's button; leading and trailing blanks are removed.
std::string server_description_problem(std::string& description);

// Shell-style match of a release-relative path: "*" and "?" stay within one folder name, "**"
// spans folders, and "**/" also matches no folder at all.
bool glob_match(const std::string& pattern, const std::string& path);
