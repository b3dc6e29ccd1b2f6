#include "install/vendor_site.h"

#include "core/cmdline.h"

#ifndef ZEPHRA_VENDOR_HOST
#define ZEPHRA_VENDOR_HOST "127.0.0.1:8321"
#endif
#ifndef ZEPHRA_STORE_PAGE
#define ZEPHRA_STORE_PAGE "http://127.0.0.1:8321/store.html"
#endif
#ifndef ZEPHRA_DOWNLOAD_PAGE
#define ZEPHRA_DOWNLOAD_PAGE "http://127.0.0.1:8321/download.html"
#endif

std::string vendor_host() { return cmdline.option_value("--vendor_host", ZEPHRA_VENDOR_HOST); }
std::string vendor_store_page() { return ZEPHRA_STORE_PAGE; }
std::string vendor_download_page() { return ZEPHRA_DOWNLOAD_PAGE; }
