// Kestrel: every public header of the library.
#pragma once
#include <windows.h>
#include <kbase.h>
#include "graph/doit.h"
#include "windows/kwnd.h"
#include <raster.h>
