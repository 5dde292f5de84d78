#include "session/output_files.h"

#include <new>
#include <ostream>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "raster/bmp_writer.h"
#include "raster/export.h"
#include "raster/picture_frame.h"
#include "raster/picture_tone.h"
#include "raster/raster.h"
#include "session/session_config.h"
#include "session/styled_picture.h"

namespace morva {

ColourTable PaletteColours(const PaletteRGB& palette) {
    ColourTable colours{};
    for (int i = 0; i < 256; ++i)
        colours[i] = {palette.PaletteR[i], palette.PaletteG[i], palette.PaletteB[i]};
    return colours;
}

void SaveOneFile(const std::string& path, const std::function<void()>& save) {
    try {
        save();
    } catch (const std::bad_alloc&) {
        throw MorvaError("out of memory while writing " + Quoted(path));
    }
}

std::string OutputFiles::CountFilePath(CountFile file) const {
    const std::string& folder = config_.outFolder.empty() ? config_.folder : config_.outFolder;
    return JoinPath(folder, file == CountFile::HiRes ? kHiResBmpFileName : kBmpFileName);
}

void OutputFiles::SaveCountFile(CountFile file, const Raster& raster, std::int32_t exposure) {
    const std::string& folder = config_.outFolder.empty() ? config_.folder : config_.outFolder;
    if (file == CountFile::HiRes) {
        SaveHiResBmp(files_, folder, raster, exposure);
    } else {
        SaveBmp(files_, folder, raster, exposure);
    }
    log_ << ErrorLine("wrote " + Quoted(CountFilePath(file))) << std::flush;
}

const std::string& OutputFiles::ExportPath(Export which) const {
    const ExportRequest& request = config_.exports;
    switch (which) {
        case Export::Picture:
            return request.picture;
        case Export::HiResPicture:
            return request.hiResPicture;
        case Export::Counts:
            break;
    }
    return request.counts;
}

void OutputFiles::SaveExport(Export which, const Raster& raster, const SceneSettings& settings,
                             const PaletteRGB& palette, PictureCounts* picture) {
    const std::string& path = ExportPath(which);
    const std::int32_t exposure = settings.Exposure;
    const ColourTable colours = PictureColourTable(config_.exports.colours, PaletteColours(palette));
    std::vector<std::uint8_t> bytes;
    const char* option = which == Export::HiResPicture ? "--hires-picture" : "--picture";
    if (which != Export::Counts && picture) {
        // The one picture the style draws (the other is refused before the
        // render), from its own table.
        bytes = EncodeStyledPicture(*picture, StyledPictureFrame(config_.exports, settings),
                                    settings.HitValue, StyledExposure(config_.exports, settings),
                                    config_.exports.style.tone, colours, ImageFormatOf(path, option));
    } else if (which == Export::Counts) {
        bytes = EncodeCountsPng(settings.HiRes ? raster.HiResBuffer() : raster.HitBuffer());
    } else {
        const Grid<std::int32_t>& table =
            which == Export::HiResPicture ? raster.HiResBuffer() : raster.HitBuffer();
        bytes = EncodePicture(table, exposure, colours, ImageFormatOf(path, option));
    }
    files_.ReplaceFile(path, bytes);
    log_ << ErrorLine("wrote " + Quoted(path)) << std::flush;
}

}  // namespace morva
