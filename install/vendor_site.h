#pragma once
// The vendor's web host and pages, fixed when the program is built.
#include <string>

// The host that serves /serverlist.txt, "HOST[:PORT]"; --vendor_host=HOST[:PORT] overrides it.
std::string vendor_host();
std::string vendor_store_page();
std::string vendor_download_page();
