#include "settings/config_defaults.h"

const DefaultPorts kDefaultPorts = {1110, 1025, 1143};
