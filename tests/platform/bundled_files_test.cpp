#include "platform/bundled_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace morva {
namespace {

// An installed layout: prefix/bin holds the program, prefix/share/morva its
// files; elsewhere/morva stands for the data folder the build names.
TEST(BundledFolder, SearchOrder) {
    test::TempDir root;
    const std::string bin = root.File("prefix/bin");
    const std::string shared = root.File("prefix/share/morva");
    const std::string installed = root.File("elsewhere/morva");
    for (const std::string& folder : {bin, shared, installed}) std::filesystem::create_directories(folder);

    // Nowhere: the program's folder, whose failed read a user understands.
    EXPECT_EQ(FindBundledFolder("MORVA.TXT", bin, installed), bin);
    // A folder of that name is not the file.
    std::filesystem::create_directories(installed + "/MORVA.TXT");
    EXPECT_EQ(FindBundledFolder("MORVA.TXT", bin, installed), bin);
    test::WriteTextFile(installed + "/MORVA.pal", "");
    EXPECT_EQ(FindBundledFolder("MORVA.pal", bin, installed), installed);
    // share/morva beside bin/ comes before the built-in folder, whatever the
    // prefix was moved to.
    test::WriteTextFile(shared + "/MORVA.pal", "");
    EXPECT_EQ(FindBundledFolder("MORVA.pal", bin, installed), shared);
    EXPECT_EQ(FindBundledFolder("MORVA.pal", bin, ""), shared);
    // The file beside the program wins: the build tree, or a copy with its
    // files.
    test::WriteTextFile(bin + "/MORVA.pal", "");
    EXPECT_EQ(FindBundledFolder("MORVA.pal", bin, installed), bin);
}

}  // namespace
}  // namespace morva
