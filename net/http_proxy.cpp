#include "net/http_proxy.h"

#include <charconv>
#include <cstdlib>

#include "core/log.h"
#include "net/http_client.h"
#include "net/http_text.h"

namespace {
// A port typed wrongly is stored as -1, and a number above 65535 names no port: no proxy then.
bool preferences_proxy_set() {
  return http.ProxyPort_int >= 1 && http.ProxyPort_int <= 65535 && !http.ProxyHost.empty();
}
}  // namespace

bool proxy_for(const char* inIP, std::string& proxy_host, unsigned short& proxy_port) {
  if (preferences_proxy_set()) {
    proxy_host = http.ProxyHost;
    proxy_port = static_cast<unsigned short>(http.ProxyPort_int);
    return true;
  }
  if (http.EnvProxyHost.empty() || http.EnvProxyPort < 1 || http.EnvProxyPort > 65535) return false;
  if (no_proxy_matches(http.NoProxy, inIP ? inIP : "")) return false;
  proxy_host = http.EnvProxyHost;
  proxy_port = static_cast<unsigned short>(http.EnvProxyPort);
  return true;
}

bool UseProxy(const char* inIP, unsigned short) {
  std::string host;
  unsigned short port = 0;
  return proxy_for(inIP, host, port);
}

bool parse_proxy_url(const std::string& text, std::string& host, int& port, std::string& why) {
  std::string rest = trim_blanks(text);
  size_t scheme_end = rest.find("://");
  if (scheme_end != std::string::npos) {
    if (ascii_lowered(rest.substr(0, scheme_end)) != "http") {
      why = "I only talk to a proxy in plain http";
      return false;
    }
    rest.erase(0, scheme_end + 3);
  }
  rest = rest.substr(0, rest.find('/'));
  if (rest.find('@') != std::string::npos) {
    why = "I cannot give a proxy a name and password";
    return false;
  }
  if (rest.empty() || rest.front() == '[') {
    why = rest.empty() ? "it names no host" : "I only reach a proxy by an IPv4 address or a name";
    return false;
  }
  port = 1080;  // the port curl assumes when none is given
  size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    std::string digits = rest.substr(colon + 1);
    long value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value < 1 || value > 65535) {
      why = "its port is not a number from 1 to 65535";
      return false;
    }
    port = static_cast<int>(value);
    rest.erase(colon);
  }
  if (rest.empty()) {
    why = "it names no host";
    return false;
  }
  host = rest;
  return true;
}

bool no_proxy_matches(const std::string& list, const std::string& host) {
  const std::string name = ascii_lowered(host);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find_first_of(", ", start);
    if (comma == std::string::npos) comma = list.size();
    std::string entry = ascii_lowered(trim_blanks(list.substr(start, comma - start)));
    start = comma + 1;
    // A port on an entry is passed over: the host alone decides.
    size_t colon = entry.find(':');
    if (colon != std::string::npos && entry.find(':', colon + 1) == std::string::npos) entry.erase(colon);
    if (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
    if (entry.empty()) continue;
    if (entry == "*") return true;
    if (name == entry) return true;
    if (name.size() > entry.size() && name.ends_with(entry) && name[name.size() - entry.size() - 1] == '.')
      return true;
  }
  return false;
}

void http_class::read_proxy_environment() {
  EnvProxyHost.clear();
  EnvProxyPort = 0;
  EnvProxyVariable.clear();
  NoProxy.clear();
  for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string why;
    if (parse_proxy_url(value, EnvProxyHost, EnvProxyPort, why)) {
      EnvProxyVariable = name;
    } else {
      EnvProxyHost.clear();
      EnvProxyPort = 0;
      xer << "I do not use the proxy " << name << "=" << value << ", because " << why << ".\n";
    }
    break;
  }
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      NoProxy = value;
      break;
    }
  }
}

std::string http_class::proxy_description() const {
  if (preferences_proxy_set())
    return "Proxy: " + ProxyHost + ":" + std::to_string(ProxyPort_int) + " from the preferences";
  std::string text;
  // A proxy host whose port is no port number means no proxy; the log says why.
  if (!ProxyHost.empty())
    text = "I do not use the proxy " + ProxyHost + " of the preferences, because its port '" + ProxyPort_str +
           "' is not a number from 1 to 65535.\n";
  if (!EnvProxyHost.empty()) {
    text += "Proxy: " + EnvProxyHost + ":" + std::to_string(EnvProxyPort) + " from " + EnvProxyVariable;
    if (!NoProxy.empty()) text += ", except for " + NoProxy;
    return text;
  }
  return text + "Proxy: none";
}
