// The graphics engine's main public header.
#pragma once
#include "kcolor.h"
#include "kstate.h"
#include "kspritedata.h"
#include "ksprite.h"
#include "krenderengine.h"
#include "kspritemanager.h"
#include "kfont_2.h"
#include "kgraph.h"
#include "kgraph_gdi.h"
