// SPDX-License-Identifier: MIT
#include "model/Published.h"
