// The image library: image object, streams, row iterator and codecs.
#pragma once

#include "rasterdefs.h"
#include "rasterfile.h"
#include "rasterimage.h"
#include "rasteriterator.h"
#include "rasterbmp.h"
#include "rastergif.h"
#include "rasterjas.h"
#include "rasterjpg.h"
#include "rastertif.h"
