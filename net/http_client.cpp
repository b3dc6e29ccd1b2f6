#include "net/http_client.h"

http_class http;
