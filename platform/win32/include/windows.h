// The Win32 subset Kestrel is written against, backed on Linux by the
// headless desktop. No min/max macros are defined.
#pragma once

#include "win32_types.h"
#include "win32_string.h"
#include "win32_rect.h"
#include "win32_time.h"
#include "win32_user.h"
#include "win32_message.h"
#include "win32_gdi.h"
#include "win32_dc.h"
#include "win32_bitmap.h"
#include "win32_blit.h"
#include "win32_icon.h"
#include "win32_memory.h"
#include "win32_font.h"
#include "win32_region.h"
#include "win32_text.h"
#include "win32_metafile.h"
#include "win32_resource.h"
#include "win32_sound.h"
#include "win32_shell.h"
#include "win32_generic.h"
