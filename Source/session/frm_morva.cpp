#include "session/frm_morva.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "engine/fast_renderer.h"
#include "engine/group_renderer.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/uniform_random.h"
#include "raster/bmp_writer.h"
#include "raster/picture_frame.h"
#include "raster/picture_tone.h"
#include "session/progress.h"
#include "session/styled_picture.h"

namespace morva {

namespace {

// Keyboard poll, progress step and message processing share this cadence.
constexpr std::int32_t kCadenceMask = 127;

ColourTable PaletteColours(const PaletteRGB& palette) {
    ColourTable colours{};
    for (int i = 0; i < 256; ++i)
        colours[i] = {palette.PaletteR[i], palette.PaletteG[i], palette.PaletteB[i]};
    return colours;
}

}  // namespace

FrmMorva::FrmMorva(Window& window, Clock& clock, UniformRandom& uniform, FileSystem& files,
                   SessionConfig config, std::ostream& log)
    : window_(window),
      clock_(clock),
      uniform_(uniform),
      files_(files),
      config_(std::move(config)),
      log_(log) {
    window_.SetHandler(this);
}

FrmMorva::~FrmMorva() { window_.SetHandler(nullptr); }

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
    StartTick_ = clock_.TickCount();
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

    GroupsDone_ = 0;
    GroupsThisSecond_ = 0;
    GroupsPerSecond_ = 0;
    for (;;) {
        if (StopSignal() != 0) return Outcome::Stopped;
        ElapsedMs_ = static_cast<std::int32_t>(clock_.TickCount() - StartTick_);
        if ((GroupsDone_ & kCadenceMask) == 0) {
            for (int k = 0; k < 256; ++k) KeyStates_[k] = window_.KeyState(k);
            if (KeyStates_[kKeyEscape] < 0) {
                Form_Unload(0);
                return Outcome::Unloaded;
            }
        }
        CountSpeed();
        // Between two polls nothing outside the loop looks at the tables, so
        // the groups up to the next message processing run as one batch; the
        // passes' own bookkeeping follows, in order.
        const int batch = (GroupsDone_ & kCadenceMask) == 0 ? 1 : BatchLength();
        TraceGroups(batch);
        bool reached = false;
        for (int pass = 0; pass < batch; ++pass) {
            if (pass > 0) {
                ElapsedMs_ = static_cast<std::int32_t>(clock_.TickCount() - StartTick_);
                CountSpeed();
            }
            if (GroupsDone_ >= scene_.settings.GroupTarget) {
                reached = true;
                break;
            }
            ++GroupsThisSecond_;
            ++GroupsDone_;
        }
        if (reached) break;
        if ((GroupsDone_ & kCadenceMask) == 0) {
            if (window_.FrameDue()) {
                renderer_->Flush(raster_, GroupRenderer::FlushScope::Picture);
            }
            window_.ProcessMessages();
            if (unloaded_) return Outcome::Unloaded;
        }
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

int FrmMorva::BatchLength() const {
    // Up to the group after which messages are processed, and never past
    // the last group of the render.
    const std::int32_t last =
        std::min(GroupsDone_ | kCadenceMask, std::max(scene_.settings.GroupTarget, GroupsDone_));
    return static_cast<int>(last - GroupsDone_ + 1);
}

void FrmMorva::CountSpeed() {
    const float t = clock_.SecondsSinceMidnight();
    if (std::floor(t) != std::floor(LastTimer_)) {
        GroupsPerSecond_ = GroupsThisSecond_;
        GroupsThisSecond_ = 0;
    }
    LastTimer_ = t;
}

void FrmMorva::TraceGroups(int count) {
    renderer_->DrawGroups(engine_, raster_, count);
    groupsTraced_ += count;
    ProgressStep();
}

void FrmMorva::ProgressStep() {
    if ((GroupsDone_ & kCadenceMask) != 0) return;
    const SceneSettings& s = scene_.settings;
    PercentDone_ = PercentDone(GroupsDone_, s.GroupTarget);
    ProgressInputs in;
    in.GroupsDone = GroupsDone_;
    in.GroupTarget = s.GroupTarget;
    in.GroupsPerSecond = GroupsPerSecond_;
    in.ElapsedMs = ElapsedMs_;
    in.InitialSeed = s.InitialSeed;
    in.HiRes = s.HiRes;
    in.HighSpeed = s.HighSpeed;
    if (auto text = ProgressText(in)) {
        window_.SetLabel(*text);
        if (progressListener_) progressListener_(in);
    }
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
    if (scene_.settings.HiRes) SaveCountFile(CountFile::HiRes);
    SaveCountFile(CountFile::Screen);
}

std::string FrmMorva::CountFilePath(CountFile file) const {
    const std::string& folder = config_.outFolder.empty() ? config_.folder : config_.outFolder;
    return JoinPath(folder, file == CountFile::HiRes ? kHiResBmpFileName : kBmpFileName);
}

void FrmMorva::SaveCountFile(CountFile file) {
    BringTablesUpToDate();
    const std::string& folder = config_.outFolder.empty() ? config_.folder : config_.outFolder;
    if (file == CountFile::HiRes) {
        SaveHiResBmp(files_, folder, raster_, scene_.settings.Exposure);
    } else {
        SaveBmp(files_, folder, raster_, scene_.settings.Exposure);
    }
    log_ << "morva: wrote " << CountFilePath(file) << std::endl;
}

const std::string& FrmMorva::ExportPath(Export which) const {
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

void FrmMorva::SaveExport(Export which) {
    BringTablesUpToDate();
    const std::string& path = ExportPath(which);
    const std::int32_t exposure = scene_.settings.Exposure;
    const ColourTable colours = PictureColourTable(config_.exports.colours, PaletteColours(palette_));
    std::vector<std::uint8_t> bytes;
    switch (which) {
        case Export::Picture:
            if (PictureCounts* counts = renderer_->Picture()) {
                const PictureStyle& style = config_.exports.style;
                const std::int32_t styledExposure = style.tone.exposure ? style.tone.exposure : exposure;
                const PictureFrame frame =
                    MakePictureFrame(style.size, scene_.settings.ScaleX, scene_.settings.ScaleY,
                                     scene_.settings.OffsetX, scene_.settings.OffsetY);
                bytes = EncodeStyledPicture(*counts, frame, scene_.settings.HitValue, styledExposure,
                                            style.tone, colours, ImageFormatOf(path, "--picture"));
            } else {
                bytes =
                    EncodePicture(raster_.HitBuffer(), exposure, colours, ImageFormatOf(path, "--picture"));
            }
            break;
        case Export::HiResPicture:
            bytes = EncodePicture(raster_.HiResBuffer(), exposure, colours,
                                  ImageFormatOf(path, "--hires-picture"));
            break;
        case Export::Counts:
            bytes = EncodeCountsPng(scene_.settings.HiRes ? raster_.HiResBuffer() : raster_.HitBuffer());
            break;
    }
    files_.ReplaceFile(path, bytes);
    log_ << "morva: wrote " << path << std::endl;
}

void FrmMorva::ReportError(const std::string& message) {
    log_ << ErrorLine(message) << std::flush;
    window_.ShowError(message);
}

}  // namespace morva
