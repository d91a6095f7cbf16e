// The whole Win32 UI layer in one include.
#pragma once
#include "winui/component.h"
#include "winui/graphics.h"
#include "winui/control.h"
#include "winui/form.h"
#include "winui/std_controls.h"
#include "winui/extra_controls.h"
#include "winui/common_controls.h"
