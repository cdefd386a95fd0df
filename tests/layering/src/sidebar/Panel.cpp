#include "agent/ui/Chat.h"
#include "settings/Sheet.h"
