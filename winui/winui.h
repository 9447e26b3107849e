// The thin window layer that Wayguard, Edictor and Kindler share: windows and dialogs that
// route messages to members, a frame with one form, typed common controls, and the seams
// for message boxes and the notification-area icon.
#pragma once
#include "controls.h"
#include "dialog.h"
#include "frame.h"
#include "screenshot.h"
#include "seams.h"
#include "window.h"
