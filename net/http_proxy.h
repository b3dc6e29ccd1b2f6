#pragma once
// Which requests go through a proxy, and the proxy's address: the one of the preferences, else
// the environment's (http_proxy or HTTP_PROXY) unless no_proxy exempts the host, as curl reads them.
#include <string>

// True when requests to the host inIP go through a proxy: the one of the preferences (a host
// and a port from 1 to 65535), else the environment's unless no_proxy exempts the host.
bool UseProxy(const char* inIP, unsigned short inPort);
// The proxy for the host inIP; false (and nothing set) when it is reached directly.
bool proxy_for(const char* inIP, std::string& proxy_host, unsigned short& proxy_port);
// The address of a proxy in the form of http_proxy: "http://HOST:PORT/" or "HOST:PORT" (no port:
// 1080). False, with why set, for another scheme, credentials, or a bad port.
bool parse_proxy_url(const std::string& text, std::string& host, int& port, std::string& why);
// True when the host matches an entry of a no_proxy list: the name itself, a domain it lies in
// (with or without a leading dot), or "*". Names compare without regard to case.
bool no_proxy_matches(const std::string& list, const std::string& host);
