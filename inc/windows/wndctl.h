// The skinned controls of the window framework.
#pragma once
#include "kwndbutton.h"
#include "kwndedit.h"
