#include "PlayerHarness.h"
