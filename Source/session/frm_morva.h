#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "engine/iteration_group.h"
#include "font/glyph_font.h"
#include "platform/window.h"
#include "raster/export.h"
#include "raster/raster.h"
#include "scene/palette.h"
#include "scene/scene.h"
#include "session/output_files.h"
#include "session/progress.h"
#include "session/render_loop.h"
#include "session/scene_source.h"
#include "session/session_config.h"
#include "session/session_window.h"

namespace morva {

class Clock;
class FileSystem;
class GroupRenderer;
class UniformRandom;

// The render session: the window's start-up, the render loop with its
// keyboard poll and message processing every 128 groups, the progress line,
// the F11 export and the end of the program. Its operations are the
// window's events; what they do is done by the types it owns: the render
// loop's bookkeeping (RenderLoop), the progress report (ProgressReport),
// the files written from the counts (OutputFiles) and the window's events
// and key states (SessionWindow).
class FrmMorva final {
public:
    enum class Outcome {
        Finished,  // the target was reached and the final picture shown
        Refused,   // the window picture is not 8-bit; nothing was read
        Unloaded,  // Escape held at a poll, or the window closed
        Stopped,   // a stop was requested from outside (a signal)
    };

    using CountFile = OutputFiles::CountFile;
    using Export = OutputFiles::Export;

    FrmMorva(Window& window, Clock& clock, UniformRandom& uniform, FileSystem& files, SessionConfig config,
             std::ostream& log);
    ~FrmMorva();
    FrmMorva(const FrmMorva&) = delete;
    FrmMorva& operator=(const FrmMorva&) = delete;

    // Start-up and the whole render. Throws MorvaError when an input cannot
    // be used (the caller reports it and ends the program).
    Outcome Form_Load();
    // F11 (key code 122, whatever the shift state) saves the count files; a
    // failed save is reported, and the render goes on (or the finished one
    // stays) with its counts kept.
    void Form_KeyDown(int KeyCode, int Shift);
    // Ends the session: the render loop does not resume.
    void Form_Unload(int Cancel);
    // After the render: serves F11 and the close button until the window
    // is closed (or, headless, until no event can come).
    void ServeUntilClosed();

    // Writes MORVAHD.BMP (in high-resolution mode) and MORVA.BMP from the
    // counts so far, as F11 does. Throws MorvaError on failure.
    void SaveFiles();
    // Folds what the renderer still holds into the tables, so that they hold
    // every group traced. Throws MorvaError before a scene is loaded.
    void BringTablesUpToDate();
    // Writes one of them. Throws MorvaError on failure.
    void SaveCountFile(CountFile file);
    // Where it goes: in the --out folder, else in the scene's folder.
    std::string CountFilePath(CountFile file) const;

    // Where an export (config.exports) goes; empty when it was not asked for.
    const std::string& ExportPath(Export which) const;
    // Writes it from the counts so far. Throws MorvaError on failure.
    void SaveExport(Export which);

    // A signal number that, once it is not 0, stops the render at the head
    // of the next pass (and ends the wait after it).
    void SetStopFlag(const std::atomic<int>* signal) { stopFlag_ = signal; }
    // The signal that stopped the session, or 0.
    int StopSignal() const { return stopFlag_ ? stopFlag_->load(std::memory_order_relaxed) : 0; }
    // Runs once the inputs are read, before the first group; what it throws
    // ends Form_Load, so a run can refuse before any work is spent.
    void SetBeforeRender(std::function<void()> check) { beforeRender_ = std::move(check); }
    // Called with the figures of every progress step that writes the label,
    // and once more with those of the end when the target is reached.
    void SetProgressListener(std::function<void(const ProgressInputs&)> listener) {
        progress_.SetListener(std::move(listener));
    }

    // The one way the session reports a fault to the user: stderr and the
    // window's message box.
    void ReportError(const std::string& message) { sessionWindow_.ReportError(message); }

    const Scene& CurrentScene() const { return scene_; }
    const Raster& CurrentRaster() const { return raster_; }
    Raster& CurrentRaster() { return raster_; }
    const EngineState& Engine() const { return engine_; }
    std::int32_t GroupsDone() const { return loop_.GroupsDone(); }
    std::int64_t GroupsTraced() const { return groupsTraced_; }
    float Percent() const { return progress_.PercentDone(); }
    bool Unloaded() const { return unloaded_; }
    const std::string& Folder() const { return config_.folder; }
    bool BatchCountFiles() const { return config_.batchCountFiles; }
    FileSystem& Files() { return files_; }

private:
    void StartUp();
    // Traces count groups, then runs the progress step of the last one.
    void TraceGroups(int count);
    void ProgressStep();
    void ToneWindowAsAsked();

    Window& window_;
    UniformRandom& uniform_;
    FileSystem& files_;
    SessionConfig config_;
    SessionWindow sessionWindow_;

    GlyphFont font_;
    PaletteRGB palette_;
    Scene scene_;
    Raster raster_;
    EngineState engine_;
    std::unique_ptr<GroupRenderer> renderer_;
    RenderLoop loop_;
    ProgressReport progress_;
    OutputFiles outputs_;

    std::int64_t groupsTraced_ = 0;
    bool sceneLoaded_ = false;
    bool finished_ = false;
    bool unloaded_ = false;
    const std::atomic<int>* stopFlag_ = nullptr;
    std::function<void()> beforeRender_;
};

}  // namespace morva
