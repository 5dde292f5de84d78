#include "platform/bundled_files.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"

// The build names the data folder of its install prefix; a program built
// without it looks only in and beside its own folder.
#ifndef MORVA_INSTALLED_DATA_FOLDER
#define MORVA_INSTALLED_DATA_FOLDER ""
#endif

namespace morva {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::string FindBundledFolder(const std::string& name, const std::string& programFolder,
                              const std::string& installedFolder) {
    const std::string folders[] = {
        programFolder, JoinPath(programFolder, "share/morva"),
        // The program's folder is the resolved path of the running program, so
        // its ".." can be taken lexically: "/usr/bin" gives "/usr/share/morva".
        std::filesystem::path(JoinPath(programFolder, "../share/morva")).lexically_normal().string(),
        installedFolder};
    for (const std::string& folder : folders) {
        if (!folder.empty() && IsRegularFile(JoinPath(folder, name))) return folder;
    }
    return programFolder;
}

std::string BundledFolder(const std::string& name) {
    return FindBundledFolder(name, ProgramFolder(), MORVA_INSTALLED_DATA_FOLDER);
}

}  // namespace morva
