// kestrel_assetmaker: writes the demo's and the tests' pictures into the
// folder named on the command line (made if missing).
#include "assets.h"
#include <kestrel.h>
#include <desktop/desktop.h>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel_assetmaker <folder>\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    desktop::Reset();
    KGraph* graph = CreateKGraph(KRM_GDI, false, 16, 16, KCM_R5G6B5, false, false);
    if (graph == NULL) {
        std::fprintf(stderr, "kestrel_assetmaker: cannot create the graph device\n");
        return 1;
    }
    std::string error;
    const bool ok =
        MakePictureAssets(graph, argv[1], &error) && MakeSkinAssets(graph, argv[1], &error);
    ReleaseKGraph(graph);
    if (!ok) {
        std::fprintf(stderr, "kestrel_assetmaker: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& name : kAssetPictures)
        std::printf("%s/%s\n", argv[1], name.c_str());
    std::printf("%s/%s\n", argv[1], kAssetArchive);
    for (const std::string& name : kSkinFiles)
        std::printf("%s/%s\n", argv[1], name.c_str());
    return 0;
}
