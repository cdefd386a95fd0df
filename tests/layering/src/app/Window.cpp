#include "settings/Sheet.h"
#include "sidebar/Panel.cpp"
