#pragma once

#include "raster/picture.h"

namespace morva {

// The colour table of the window picture: entry i has red = blue =
// floor(i*i / 256) and a green ramp that rises quickly for small i.
const ColourTable& WindowColourTable();

}  // namespace morva
