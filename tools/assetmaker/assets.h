// The picture assets of the demo and the tests, written with the library's
// own writers (BMP, raw kpc, JPEG-payload kpc) and libjpeg for the source
// JPEGs, plus a zip archive holding them all.
#pragma once
#include <string>
#include <vector>

class KGraph;

// The names written into the folder, each also an entry of kAssetArchive.
extern const std::vector<std::string> kAssetPictures;
extern const char* const kAssetArchive;

// Writes every picture and the archive into `dir` (which must exist) through
// `graph`'s sprites. False, with the reason in `error`, when one cannot be
// written.
bool MakePictureAssets(KGraph* graph, const std::string& dir, std::string* error);

// The skins of the demo's dialog screen (skins.cpp): a nine-piece frame and
// its table, a tiled backdrop and its table, a four-state button strip and
// an edit field's back, written into `dir`.
extern const std::vector<std::string> kSkinFiles;
bool MakeSkinAssets(KGraph* graph, const std::string& dir, std::string* error);
