// The list controls of the controls scene: an event log (a text-list box
// that follows its newest line, with a picture scroll bar), a difficulty
// combo box and a two-colour volume bar, and the player's script for them.
#pragma once
#include "demo.h"

#include <functional>
#include <string>

class KestrelMainWnd;
struct ListControls;

// Makes the controls as children of mainWnd, drawn in `font`.
ListControls* MakeListControls(KGraph* g, KestrelMainWnd& mainWnd, KFont* font);
// Plays the script through the desktop's input at `top`, calling `frame`
// after each step; a screenshot while the combo box's list is open.
// Returns 0 when each control ended as the script meant.
int PlayListControls(ListControls* c, DemoContext& ctx, const std::function<void()>& frame);
// True when every line the log took fits its text area; else false, with
// the line in `why`.
bool ListTextsFit(ListControls* c, std::string* why);
void ReleaseListControls(ListControls* c);
