#include "ui/window_state.h"

mnw_class mnw;
stls_class stls;
