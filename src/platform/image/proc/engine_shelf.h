// A process-wide shelf of loaded Tesseract engines. Loading "chi_sim+eng"
// takes seconds, and the service creates an OCR manager for every page it
// saves as a searchable document; a manager going away puts its engines on
// the shelf and the next manager takes them back instead of loading anew.
//
// Pages are recognised on several threads at once, each with an engine of
// its own, so as many idle engines per kind (data folder, languages, engine
// mode) are kept as threads may recognise at once: one per core, at most
// four (the most page workers a scan runs); more are released. Taking and
// returning are thread-safe; an engine taken belongs to its taker alone
// until returned.
#pragma once

#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

namespace kximgproc {

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
// The most idle engines of one kind the shelf keeps.
size_t ShelfCapacity();
// Makes the OpenMP parallel regions that Tesseract starts from the calling
// thread run on that thread alone. Tesseract spreads each recognition over
// OpenMP threads; with several pages recognised at once those threads only
// compete for the same cores and spin waiting for each other. OpenMP reads
// OMP_THREAD_LIMIT when its library is loaded, before main, so setting that
// variable at run time has no effect; the limit is set per thread instead,
// on every thread that is about to use an engine. A user who set
// OMP_THREAD_LIMIT keeps the OpenMP behaviour they chose. Cheap; call it
// before each use of an engine.
void KeepEngineWorkOnThisThread();
// Idle engines on the shelf.
size_t ShelvedEngines();
// Destroys every idle engine on the shelf.
void ReleaseShelvedEngines();

}  // namespace kximgproc
