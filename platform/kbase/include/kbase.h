// The engine's base library: reports and logs, debug assertions, files and
// packed archives.
#pragma once

#include <windows.h>

#include "kassert.h"
#include "kfile.h"
#include "klog.h"
#include "kret.h"
#include "ktable.h"
#include "ktextlist.h"
#include "kthread.h"
#include "ktimer.h"
#include "unpackfile.h"
