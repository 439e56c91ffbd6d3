#include "http/engine.h"

ServerSettingsRecord ServerSettings{};
