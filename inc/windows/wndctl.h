// The skinned controls of the window framework.
#pragma once
#include "kwndbutton.h"
#include "kwndedit.h"
#include "kwndimagebox.h"
#include "kwnddlg.h"
#include "kwndscroll.h"
#include "kwndlistbox_simple.h"
#include "kwndlistbox.h"
#include "kwndcombobox.h"
