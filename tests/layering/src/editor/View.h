#pragma once
#include "../workspace/Store.h"
#include "workspace/Store.h"
#include <QWidget>
