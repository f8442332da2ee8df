#pragma once
// Resources of varnox-patch.exe (varnox_patch.rc).

#define VARNOX_ICON 1
#define VARNOX_LOGO_JPEG 2
