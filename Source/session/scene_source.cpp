#include "session/scene_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "platform/bundled_files.h"
#include "platform/error.h"
#include "platform/files.h"
#include "scene/ifs_library.h"
#include "scene/text_file.h"
#include "session/ifs_scene.h"
#include "session/options.h"
#include "session/session_config.h"

namespace morva {

namespace {

constexpr char kStandardInputName[] = "standard input";

std::string ReadStandardInput() {
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        text.append(buffer, got);
        if (static_cast<std::int64_t>(text.size()) > kMaxReadSize)
            throw MorvaError("cannot read the scene from standard input: it is larger than a scene can be");
        if (got < sizeof buffer) break;
    }
    if (std::ferror(stdin))
        throw MorvaError(std::string("cannot read the scene from standard input: ") + std::strerror(errno));
    return text;
}

// MORVA.pal in the folder of the scene when there is one, else the
// default palette.
std::string PaletteBeside(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::path beside = folder / kPaletteFileName;
    return std::filesystem::exists(beside, error) ? beside.string() : DefaultPalettePath();
}

// The name of the picture: the scene's file name less its extension, with
// nothing in it that would make it a path or hide it.
std::string PictureStem(std::string stem) {
    for (char& c : stem) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) c = '_';
    }
    while (stem.starts_with('.')) stem.erase(0, 1);
    return stem.empty() ? "morva" : stem;
}

}  // namespace

SceneSource FolderSceneSource(const std::string& folder) {
    SceneSource source;
    source.scenePath = JoinPath(folder, kSceneFileName);
    source.palettePath = JoinPath(folder, kPaletteFileName);
    // The folder's own name, also for "." or a name with a trailing "/".
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(folder, error).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    source.name = PictureStem(absolute.filename().string());
    return source;
}

std::string DefaultDataFolder() { return BundledFolder(kSceneFileName); }

std::string DefaultPalettePath() { return JoinPath(BundledFolder(kPaletteFileName), kPaletteFileName); }

bool IsLibraryName(const std::string& scene) {
    const std::string extension = std::filesystem::path(scene).extension().string();
    return extension.size() == 4 && extension[0] == '.' && (extension[1] | 0x20) == 'i' &&
           (extension[2] | 0x20) == 'f' && (extension[3] | 0x20) == 's';
}

std::string ArgumentName(const std::string& path) { return path == "-" ? kStandardInputName : path; }

std::string ReadArgumentFile(FileSystem& files, const std::string& path) {
    if (path == "-") return ReadStandardInput();
    std::string error;
    const std::optional<std::string> text = files.ReadFile(path, &error);
    if (!text) throw MorvaError(path + ": cannot read it: " + error);
    return *text;
}

SceneSource ResolveSceneArgument(const std::string& scene, const std::string& entry, bool library,
                                 std::ostream& notes) {
    PosixFileSystem files;
    std::error_code error;
    if (scene != "-" && std::filesystem::is_directory(scene, error)) {
        if (!entry.empty())
            throw MorvaError("--entry picks an entry of an .ifs library, and " + scene + " is a folder");
        SceneSource source = FolderSceneSource(scene);
        source.text = ReadSceneText(files, source);
        return source;
    }

    SceneSource source;
    const std::filesystem::path path(scene);
    source.scenePath = ArgumentName(scene);
    source.palettePath = scene == "-" ? DefaultPalettePath() : PaletteBeside(path.parent_path());
    source.name = scene == "-" ? "stdin" : PictureStem(path.stem().string());
    if (!library) {
        // Read now, so that a scene that cannot be read is refused before
        // anything else is said or opened.
        source.text = scene == "-" ? ReadStandardInput() : ReadSceneText(files, source);
        source.inPlace = scene != "-";
        return source;
    }
    const std::string text = ReadArgumentFile(files, scene);
    const IfsLibrary parsed = ParseIfsLibrary(text, source.scenePath);
    const IfsEntry& chosen = FindIfsEntry(parsed, entry, source.scenePath);
    if (!chosen.hasProbabilities) {
        notes << ErrorLine(source.scenePath + ": the entry " + Quoted(chosen.name) +
                           " gives no probabilities: each map is weighted by the area it covers, |ad - bc|");
    }
    source.text = FramedIfsScene(chosen, source.scenePath);
    source.name = PictureStem(chosen.name);
    source.inPlace = false;
    return source;
}

void ApplySceneArgument(const Options& options, SessionConfig& config, std::ostream& notes) {
    if (options.scene.empty()) return;
    config.source = ResolveSceneArgument(options.scene, options.entry,
                                         !options.entry.empty() || IsLibraryName(options.scene), notes);
    config.folder = ".";
    config.batchCountFiles = !options.outFolder.empty();
    const bool batchRender = options.batch && !options.check && !options.fit && !options.describe &&
                             options.saveScene.empty() && !options.list;
    if (batchRender && options.outFolder.empty() && config.exports.Paths().empty()) {
        config.exports.picture = config.source.name + ".png";
        notes << ErrorLine("no output named: the picture goes to " + config.exports.picture +
                           " (-o FILE names another)")
              << std::flush;
    }
}

SceneSource SessionSceneSource(const SessionConfig& config) {
    return config.source.scenePath.empty() ? FolderSceneSource(config.folder) : config.source;
}

std::string ReadSceneText(FileSystem& files, const SceneSource& source) {
    if (source.text) return *source.text;
    std::string error;
    const std::optional<std::string> text = files.ReadFile(source.scenePath, &error);
    if (!text) throw MorvaError(source.scenePath + ": cannot read the scene file: " + error);
    return *text;
}

Scene LoadSourceScene(FileSystem& files, const SceneSource& source, std::int32_t startSeed,
                      const NumberFormat& format) {
    return ParseScene(ReadSceneText(files, source), startSeed, format, source.scenePath);
}

PaletteRGB LoadSourcePalette(FileSystem& files, const SceneSource& source, const NumberFormat& format) {
    return ParsePalette(InitFSO(files).fsoReadFile(source.palettePath), format, source.palettePath);
}

}  // namespace morva
