// The leftover dialog's entry point: the dialog itself once it is in this folder, else the stand-in.
#pragma once

#if __has_include("LeftoverDialog.h")
#include "LeftoverDialog.h"
#else
#include "StandInLeftoverDialog.h"
#endif
