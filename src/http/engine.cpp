#include "http/engine.h"

ServerSettings g_server_settings{};
