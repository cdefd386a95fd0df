#pragma once
#include "agent/Bridge.h"
