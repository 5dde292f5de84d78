#include "session/scene_save.h"

#include <ostream>

#include "platform/error.h"
#include "platform/files.h"
#include "scene/fields.h"
#include "session/scene_source.h"
#include "session/session_config.h"

namespace morva {

std::string ReplaceLine(std::string_view text, std::size_t lineNumber, std::string_view newLine) {
    for (LineCursor cursor(text); const std::optional<NumberedLine> line = cursor.Next();) {
        if (line->number != lineNumber) continue;
        std::string_view content = line->text;
        if (content.ends_with('\r')) content.remove_suffix(1);
        const auto start = static_cast<std::size_t>(content.data() - text.data());
        std::string replaced(text.substr(0, start));
        replaced += newLine;
        replaced += text.substr(start + content.size());
        return replaced;
    }
    return std::string(text);
}

void SaveSceneText(FileSystem& files, const std::string& path, std::string_view text, std::ostream& log) {
    files.ReplaceFile(path, AsBytes(text));
    log << ErrorLine("wrote " + path) << std::flush;
}

int RunSaveScene(const SessionConfig& config, const std::string& path, std::ostream& err) {
    try {
        PosixFileSystem files;
        const SceneSource source = SessionSceneSource(config);
        const std::string text = ReadSceneText(files, source);
        // A scene the render would refuse is not saved as if it rendered.
        ParseScene(text, 0, config.numberFormat, source.scenePath);
        SaveSceneText(files, path, text, err);
        return 0;
    } catch (const MorvaError& error) {
        err << ErrorLine(error.what()) << std::flush;
        return 1;
    }
}

}  // namespace morva
