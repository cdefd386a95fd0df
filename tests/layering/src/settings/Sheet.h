#pragma once
#include "agent/ui/Chat.h"
