#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "scene/palette.h"
#include "scene/scene.h"

namespace morva {
namespace {

namespace fs = std::filesystem;

// Every shipped scene must load, and so must the program's own files.
TEST(SampleScenes, EveryShippedSceneLoads) {
    PosixFileSystem files;
    const NumberFormat format{};
    std::vector<fs::path> folders{fs::path(MORVA_SOURCE_DIR) / "assets"};
    for (const auto& entry : fs::directory_iterator(fs::path(MORVA_SOURCE_DIR) / "scenes"))
        if (entry.is_directory()) folders.push_back(entry.path());
    EXPECT_GE(folders.size(), 6u);

    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.string());
        Scene scene;
        ASSERT_NO_THROW(scene = LoadScene(files, folder.string(), 1, format));
        EXPECT_GE(scene.settings.GroupTarget, 1);
        EXPECT_NE(scene.settings.InitialSeed, 1) << "each sample scene fixes its seed";
        // Every slot in use comes from a transform line with a weight.
        for (int k = 0; k < scene.settings.TransformCount; ++k)
            EXPECT_GT(scene.transforms[k].Weight, 0.0) << k;

        const PaletteRGB palette = LoadPalette(files, folder.string(), format);
        EXPECT_EQ(palette.PaletteR[255] + palette.PaletteG[255] + palette.PaletteB[255] > 0, true);
    }
}

TEST(SampleScenes, FernSceneIsTheProgramDefault) {
    PosixFileSystem files;
    const std::string source = MORVA_SOURCE_DIR;
    EXPECT_EQ(files.ReadFile(source + "/assets/MORVA.TXT", nullptr),
              files.ReadFile(source + "/scenes/fern/MORVA.TXT", nullptr));
    const Scene fern = LoadScene(files, source + "/scenes/fern", 1, NumberFormat{});
    EXPECT_EQ(fern.settings.GroupTarget, 16000);
    EXPECT_EQ(fern.settings.HiResYMax, 10.333333333333334);
}

}  // namespace
}  // namespace morva
