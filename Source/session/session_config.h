#pragma once

#include <string>

#include "raster/export.h"
#include "scene/scene.h"
#include "session/scene_source.h"

namespace morva {

// What a session renders and writes, as the command line asked for it.
struct SessionConfig {
    std::string folder;         // holds MORVA.TXT and MORVA.pal, receives the BMP files
    NumberFormat numberFormat;  // of integer fields
    int threads = 1;            // threads of the fast selection's renderer
    bool reference = false;     // render with the straightforward reference loop
    std::string outFolder;      // receives the count files; empty: folder
    ExportRequest exports;      // pictures and tables written at the end

    // The scene and palette when the command line names SCENE; empty: the
    // folder's.
    SceneSource source;
    // Whether a batch run writes the count files.
    bool batchCountFiles = true;
};

}  // namespace morva
