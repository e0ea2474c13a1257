#include "core/config_defaults.h"

const DefaultPorts kDefaultPorts = {110, 25, 0};
