#include "session/frm_morva.h"

#include <cmath>

#include "engine/fast_renderer.h"
#include "engine/group_renderer.h"
#include "platform/error.h"
#include "platform/uniform_random.h"
#include "raster/picture_frame.h"
#include "raster/picture_tone.h"
#include "session/styled_picture.h"

namespace morva {

FrmMorva::FrmMorva(Window& window, Clock& clock, UniformRandom& uniform, FileSystem& files,
                   SessionConfig config, std::ostream& log)
    : window_(window),
      uniform_(uniform),
      files_(files),
      config_(std::move(config)),
      sessionWindow_(window, *this, log),
      loop_(clock),
      progress_(window),
      outputs_(files, config_, log) {}

FrmMorva::~FrmMorva() = default;

void FrmMorva::StartUp() {
    window_.Show();
    window_.ProcessMessages();
    if (unloaded_) return;
    uniform_.SeedFromClock();
    engine_.RandSeed = static_cast<std::int32_t>(std::floor(uniform_.Next() * 2147483648.0));
    font_.LoadGlyphFont();
    const SceneSource source = SessionSceneSource(config_);
    palette_ = config_.exports.palette.empty()
                   ? LoadSourcePalette(files_, source, config_.numberFormat)
                   : LoadPaletteOption(files_, config_.exports.palette, config_.numberFormat);
    engine_.point = PointState{};
    scene_ = LoadSourceScene(files_, source, engine_.RandSeed, config_.numberFormat);
    engine_.RandSeed = scene_.settings.RandSeed;
    CheckExportRequest(config_.exports, scene_.settings.HiRes, PaletteColours(palette_));
    if (config_.exports.colours != PictureColours::Green)
        window_.SetColours(PictureColourTable(config_.exports.colours, PaletteColours(palette_)));
    std::optional<PicturePlan> picture = MakePicturePlan(config_.exports, scene_, PaletteColours(palette_),
                                                         config_.threads, AvailableMemory());
    sceneLoaded_ = true;
    if (config_.reference) {
        renderer_ = MakeReferenceRenderer(scene_, uniform_, std::move(picture));
    } else {
        renderer_ = MakeFastRenderer(scene_, uniform_, config_.threads, {}, std::move(picture));
    }
    loop_.TakeStartTick();
}

FrmMorva::Outcome FrmMorva::Form_Load() {
    if (!raster_.MapFrameSurface(window_.Picture())) {
        // The window still opens, with its picture and an empty label, and
        // waits to be closed; nothing is read.
        ReportError(kEightBitOnlyMessage);
        window_.Show();
        return Outcome::Refused;
    }
    StartUp();
    if (unloaded_) return Outcome::Unloaded;
    if (beforeRender_) beforeRender_();

    loop_.Begin(scene_.settings.GroupTarget);
    for (;;) {
        if (StopSignal() != 0) return Outcome::Stopped;
        loop_.ReadElapsed();
        if (loop_.AtCadence() && sessionWindow_.PollEscape()) {
            Form_Unload(0);
            return Outcome::Unloaded;
        }
        loop_.CountSpeed();
        const int batch = loop_.BatchLength();
        TraceGroups(batch);
        if (loop_.EndPasses(batch)) break;
        if (loop_.AtCadence()) {
            if (window_.FrameDue()) renderer_->Flush(raster_, GroupRenderer::FlushScope::Picture);
            window_.ProcessMessages();
            if (unloaded_) return Outcome::Unloaded;
        }
    }
    // The label keeps the text of the last progress step, which shows 100 %
    // only for a target that is a multiple of 128; for any other, the
    // listener (the batch display) is told of the end itself, so that its
    // last line is true.
    if (scene_.settings.GroupTarget > 0 && !loop_.AtCadence()) {
        loop_.ReadElapsed();
        progress_.Finish(loop_.Figures(scene_.settings));
    }
    renderer_->Flush(raster_, GroupRenderer::FlushScope::All);
    raster_.ToneMapFrame(scene_.settings.Exposure);
    ToneWindowAsAsked();
    finished_ = true;
    window_.Repaint();
    return Outcome::Finished;
}

void FrmMorva::ToneWindowAsAsked() {
    // The window shows what the picture options ask for, through the curve
    // of the saved picture; with none of them it keeps its own.
    const PictureTone& tone = config_.exports.style.tone;
    // Colours by map need more than one colour table: the window shows the
    // saved picture's pixels, its 640 x 480 view, in place of its own
    // picture (which stays what the report reads). A window nobody sees is
    // spent no work on.
    if (config_.exports.style.colourByMap && window_.ShowsTrueColour()) {
        if (PictureCounts* picture = renderer_->Picture()) {
            const SceneSettings& s = scene_.settings;
            const PictureFrame frame = StyledPictureFrame(config_.exports, s);
            const std::vector<std::uint8_t> pixels =
                TonePicture(*picture, frame, s.HitValue, StyledExposure(config_.exports, s), tone);
            window_.ShowTrueColour(ViewOfPicture(pixels, frame, 3));
        }
    }
    if (tone.curve == ToneKind::Sqrt && tone.gamma == 1.0 && !tone.autoExposure && tone.exposure == 0) return;
    const std::vector<std::uint8_t> bytes =
        ToneHitTable(raster_.HitBuffer().Data(), raster_.HitBuffer().Size(),
                     tone.exposure ? tone.exposure : scene_.settings.Exposure, tone);
    FrameSurface& surface = raster_.Surface();
    for (int y = 0; y < kHitHeight; ++y) {
        for (int x = 0; x < kHitWidth; ++x)
            surface(x, y) = bytes[static_cast<std::size_t>(y) * kHitWidth + x];
    }
}

void FrmMorva::TraceGroups(int count) {
    renderer_->DrawGroups(engine_, raster_, count);
    groupsTraced_ += count;
    ProgressStep();
}

void FrmMorva::ProgressStep() {
    if (!loop_.AtCadence()) return;
    progress_.Step(loop_.Figures(scene_.settings));
    // Frames the display could not show are not drawn at all.
    if (!window_.FrameDue()) return;
    renderer_->Flush(raster_, GroupRenderer::FlushScope::Picture);
    window_.Repaint();
}

void FrmMorva::Form_KeyDown(int KeyCode, int /*Shift*/) {
    if (KeyCode != kKeyF11) return;
    if (!sceneLoaded_) {
        ReportError("Nothing saved: no scene has been loaded yet.");
        return;
    }
    try {
        SaveFiles();
    } catch (const MorvaError& error) {
        ReportError(std::string(error.what()) +
                    (finished_ ? "\nThe finished render and its counts are kept; F11 tries again."
                               : "\nThe render goes on with its counts kept; F11 tries again."));
    }
}

void FrmMorva::Form_Unload(int /*Cancel*/) { unloaded_ = true; }

void FrmMorva::ServeUntilClosed() {
    while (!unloaded_ && StopSignal() == 0 && window_.WaitMessages()) {
    }
}

void FrmMorva::BringTablesUpToDate() {
    if (!sceneLoaded_) throw MorvaError("Nothing saved: no scene has been loaded yet.");
    // After the render the tables are complete and the picture is final.
    if (!finished_) renderer_->Flush(raster_, GroupRenderer::FlushScope::All);
}

void FrmMorva::SaveFiles() {
    BringTablesUpToDate();
    for (const CountFile file : {CountFile::HiRes, CountFile::Screen}) {
        if (file == CountFile::HiRes && !scene_.settings.HiRes) continue;
        SaveOneFile(CountFilePath(file), [this, file] { SaveCountFile(file); });
    }
}

std::string FrmMorva::CountFilePath(CountFile file) const { return outputs_.CountFilePath(file); }

void FrmMorva::SaveCountFile(CountFile file) {
    BringTablesUpToDate();
    outputs_.SaveCountFile(file, raster_, scene_.settings.Exposure);
}

const std::string& FrmMorva::ExportPath(Export which) const { return outputs_.ExportPath(which); }

void FrmMorva::SaveExport(Export which) {
    BringTablesUpToDate();
    outputs_.SaveExport(which, raster_, scene_.settings, palette_, renderer_->Picture());
}

}  // namespace morva
