#include "SmfFile.h"
