#include "settings/config_defaults.h"

const DefaultPorts kDefaultPorts = {110, 25, 0};
