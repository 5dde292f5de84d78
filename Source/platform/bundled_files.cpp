#include "platform/bundled_files.h"

#include <sys/stat.h>

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

// The folder above `folder`, as a path a message can show: "/usr" for
// "/usr/bin", "./.." for ".".
std::string ParentFolder(const std::string& folder) {
    const auto slash = folder.find_last_of('/');
    if (folder == "." || slash == std::string::npos) return JoinPath(folder, "..");
    if (slash == 0) return "/";
    return folder.substr(0, slash);
}

}  // namespace

std::string FindBundledFolder(const std::string& name, const std::string& programFolder,
                              const std::string& installedFolder) {
    const std::string folders[] = {programFolder, JoinPath(programFolder, "share/morva"),
                                   JoinPath(ParentFolder(programFolder), "share/morva"), installedFolder};
    for (const std::string& folder : folders) {
        if (!folder.empty() && IsRegularFile(JoinPath(folder, name))) return folder;
    }
    return programFolder;
}

std::string BundledFolder(const std::string& name) {
    return FindBundledFolder(name, ProgramFolder(), MORVA_INSTALLED_DATA_FOLDER);
}

}  // namespace morva
