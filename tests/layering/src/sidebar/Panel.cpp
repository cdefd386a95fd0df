#include "settings/Sheet.h"
#include "agent/ui/Chat.h"
