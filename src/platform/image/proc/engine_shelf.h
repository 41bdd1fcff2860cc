// A process-wide shelf of loaded Tesseract engines. Loading "chi_sim+eng"
// takes seconds, and the service creates an OCR manager for every page it
// saves as a searchable document; a manager going away puts its engines on
// the shelf and the next manager takes them back instead of loading anew.
//
// At most one idle engine per kind (data folder, languages, engine mode) is
// kept; more are released. Taking and returning are thread-safe; an engine
// taken belongs to its taker alone until returned.
#pragma once

#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

namespace kx_imgproc {

struct EngineKind {
    std::string folder;
    std::string languages;
    int mode = 0;  // tesseract::OcrEngineMode

    bool operator==(const EngineKind&) const = default;
};

// An idle engine of the kind from the shelf, or else a newly loaded one;
// null when Tesseract cannot load the data.
std::unique_ptr<tesseract::TessBaseAPI> TakeEngine(const EngineKind& kind);
// Puts an engine back for later takers.
void ReturnEngine(const EngineKind& kind, std::unique_ptr<tesseract::TessBaseAPI> engine);
// Idle engines on the shelf.
size_t ShelvedEngines();
// Destroys every idle engine on the shelf.
void ReleaseShelvedEngines();

}  // namespace kx_imgproc
