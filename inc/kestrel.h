// Kestrel: every public header of the library.
#pragma once
#include <windows.h>
#include <kbase.h>
#include "graph/doit.h"
#include "windows/kwnd.h"
#include "windows/wndback.h"
#include "windows/wndctl.h"
#include <raster.h>
