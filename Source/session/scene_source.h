#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "scene/palette.h"
#include "scene/scene.h"

namespace morva {

class FileSystem;
struct Options;
struct SessionConfig;

// Where a run's scene and palette come from.
struct SceneSource {
    std::string scenePath;            // the file that messages name
    std::optional<std::string> text;  // the scene, already read (standard input, a library entry)
    std::string palettePath;          // MORVA.pal beside the scene, else the default palette
    std::string name;                 // names the picture a batch run writes when no output is named
    bool inPlace = true;              // a scene file of its own, whose header --fit --write may replace
};

// The scene and palette of a folder: MORVA.TXT and MORVA.pal in it.
SceneSource FolderSceneSource(const std::string& folder);

// The palette a scene without one of its own is shown with: the one the
// program is installed with.
std::string DefaultPalettePath();

// Resolves SCENE of the command line: "-" (standard input), a folder
// holding MORVA.TXT, an .ifs library (or any file when entry names an
// entry), or a scene file of any name. A library is read and its entry
// (the first when entry is empty) turned into framed scene text here; what
// the program chose for it is said on notes. Throws MorvaError when the
// scene cannot be read or the library entry cannot be used.
SceneSource ResolveSceneArgument(const std::string& scene, const std::string& entry, bool library,
                                 std::ostream& notes);

// Whether SCENE names a library: "-" never unless asked, else by the
// extension .ifs in any case.
bool IsLibraryName(const std::string& scene);

// How messages name a file of the command line: "standard input" for "-".
std::string ArgumentName(const std::string& path);

// The text of a file named on the command line, "-" being standard input.
// Throws MorvaError naming it when it cannot be read.
std::string ReadArgumentFile(FileSystem& files, const std::string& path);

// Points the session at SCENE when the command line names one: the scene
// and palette come from there, and nothing is written beside them unless
// an option names it: F11 writes into the --out folder or the current one,
// a batch run writes the count files only with --out, and a batch render
// with no output named writes the picture NAME.png into the current folder
// (and says so on notes). Throws MorvaError as ResolveSceneArgument does.
void ApplySceneArgument(const Options& options, SessionConfig& config, std::ostream& notes);

// The source of a session: config.source, or the folder's files when it
// names none.
SceneSource SessionSceneSource(const SessionConfig& config);

// The scene text of a source: as read already, or read from its file (a
// file that cannot be read is refused with a message naming it).
std::string ReadSceneText(FileSystem& files, const SceneSource& source);

Scene LoadSourceScene(FileSystem& files, const SceneSource& source, std::int32_t startSeed,
                      const NumberFormat& format);

// As LoadPalette: a missing palette reads as empty (every entry 0).
PaletteRGB LoadSourcePalette(FileSystem& files, const SceneSource& source, const NumberFormat& format);

}  // namespace morva
