// The vendor's public keys, fixed when the program is built. This file holds nothing else: a
// program built for tests links its own definition in place of this one.
#include "install/release_check.h"

#ifndef ZEPHRA_RELEASE_KEYS
#define ZEPHRA_RELEASE_KEYS ""
#endif

const char* release_keys_text() { return ZEPHRA_RELEASE_KEYS; }
