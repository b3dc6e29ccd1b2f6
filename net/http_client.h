#pragma once
// The polled HTTP/1.1 download client: six numbered slots and the proxy settings.
#include <string>

class down_class;

constexpr int kHttpSlots = 6;

class http_class {
 public:
  std::string ProxyHost;     // proxy host name or dotted address; empty: no proxy
  std::string ProxyPort_str; // the port as typed in the preferences
  int ProxyPort_int = 0;     // the port used; 0: no proxy
  down_class* down[kHttpSlots] = {};
};
extern http_class http;
