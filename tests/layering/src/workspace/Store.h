#pragma once
#include "editor/View.h"
#include "platform/Missing.h"
#include <QString>
