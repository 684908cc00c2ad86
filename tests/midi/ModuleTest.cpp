#include "Module.h"
