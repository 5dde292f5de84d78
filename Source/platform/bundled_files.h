#pragma once

#include <string>

namespace morva {

// The folder of a file bundled with the program (the default scene or
// palette): the first of these that holds `name` as a regular file, the
// program's own folder (a build tree, or a copy with its files beside it),
// share/morva in it, share/morva beside it (an installed program: bin/ and
// share/ side by side under one prefix), then `installedFolder`, the data
// folder of the prefix the program was built for (empty: none). When none
// holds it, the program's own folder, so that the failed read names the
// place a user looks first.
std::string FindBundledFolder(const std::string& name, const std::string& programFolder,
                              const std::string& installedFolder);

// FindBundledFolder for the running program and the prefix it was built
// for.
std::string BundledFolder(const std::string& name);

}  // namespace morva
