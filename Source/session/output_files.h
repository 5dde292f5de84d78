#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "raster/picture.h"
#include "scene/palette.h"
#include "scene/scene.h"

namespace morva {

class FileSystem;
class PictureCounts;
class Raster;
struct SessionConfig;

// The palette's entries as a colour table.
ColourTable PaletteColours(const PaletteRGB& palette);

// Runs the save of one file. A failed allocation (a large table's encoding
// under a memory limit) becomes that file's MorvaError, "out of memory while
// writing" and its name, so that it is reported like a full disk and the
// next file is still written.
void SaveOneFile(const std::string& path, const std::function<void()>& save);

// The files a session writes from its counts: the count files (F11, and at
// the end of a batch run) and the exports. Each file written is reported
// on the log as "morva: wrote PATH".
class OutputFiles {
public:
    // The two count files: MORVA.BMP and, in high-resolution mode,
    // MORVAHD.BMP.
    enum class CountFile { Screen, HiRes };
    // The pictures and tables that the command line may ask for.
    enum class Export { Picture, HiResPicture, Counts };

    OutputFiles(FileSystem& files, const SessionConfig& config, std::ostream& log)
        : files_(files), config_(config), log_(log) {}

    // Where a count file goes: in the --out folder, else in the scene's.
    std::string CountFilePath(CountFile file) const;
    // Where an export goes; empty when it was not asked for.
    const std::string& ExportPath(Export which) const;

    // Writes one from tables that hold every group traced. Throws
    // MorvaError on failure.
    void SaveCountFile(CountFile file, const Raster& raster, std::int32_t exposure);
    // The picture comes from picture (the counts of --size, --supersample
    // and the other picture options) when the renderer keeps one, else from
    // the screen table.
    void SaveExport(Export which, const Raster& raster, const SceneSettings& settings,
                    const PaletteRGB& palette, PictureCounts* picture);

private:
    FileSystem& files_;
    const SessionConfig& config_;
    std::ostream& log_;
};

}  // namespace morva
