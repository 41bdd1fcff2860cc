#include "platform/image/proc/engine_shelf.h"

#include <dlfcn.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/base/kx_system.h"

namespace kximgproc {
namespace {

struct ShelvedEngine {
    EngineKind kind;
    std::unique_ptr<tesseract::TessBaseAPI> engine;
};

struct Shelf {
    std::mutex lock;
    std::vector<ShelvedEngine> engines;
};

// Never destroyed by static teardown: idle engines must not be torn down
// during exit, after Tesseract's own process-wide dictionary cache may
// already be gone; ReleaseShelvedEngines empties it while all is alive.
Shelf& TheShelf() {
    static Shelf* shelf = new Shelf;
    return *shelf;
}

// Tesseract's progress and diagnostic chatter would flood the service log.
// Its "debug_file" setting is process-wide, so it is set once, before any
// engine exists, rather than by each engine while others may be printing.
void QuietTesseract() {
    static std::once_flag once;
    std::call_once(once, [] {
        tesseract::TessBaseAPI settings;
        settings.SetVariable("debug_file", "/dev/null");
    });
}

std::unique_ptr<tesseract::TessBaseAPI> Load(const EngineKind& kind) {
    QuietTesseract();
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    if (engine->Init(kind.folder.c_str(), kind.languages.c_str(),
                     static_cast<tesseract::OcrEngineMode>(kind.mode)) != 0) {
        return nullptr;
    }
    return engine;
}

// omp_set_max_active_levels of the OpenMP runtime Tesseract was built
// with, looked up among the loaded libraries so that a Tesseract without
// OpenMP needs nothing; null then.
using SetMaxActiveLevels = void (*)(int);

SetMaxActiveLevels FindSetMaxActiveLevels() {
    static SetMaxActiveLevels function = [] {
        if (!KXBase_GetEnvironment("OMP_THREAD_LIMIT").empty()) {
            return SetMaxActiveLevels{nullptr};
        }
        return reinterpret_cast<SetMaxActiveLevels>(
            dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    }();
    return function;
}

size_t KeptOfKind(const Shelf& shelf, const EngineKind& kind) {
    return static_cast<size_t>(
        std::count_if(shelf.engines.begin(), shelf.engines.end(),
                      [&](const ShelvedEngine& shelved) { return shelved.kind == kind; }));
}

}  // namespace

size_t ShelfCapacity() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

void KeepEngineWorkOnThisThread() {
    // No active parallel level: every parallel region started from this
    // thread gets a team of one, whatever thread count Tesseract asks for.
    static thread_local bool done = false;
    SetMaxActiveLevels setLevels = FindSetMaxActiveLevels();
    if (!done && setLevels != nullptr) {
        setLevels(0);
    }
    done = true;
}

std::unique_ptr<tesseract::TessBaseAPI> TakeEngine(const EngineKind& kind) {
    {
        Shelf& shelf = TheShelf();
        std::lock_guard<std::mutex> hold(shelf.lock);
        for (auto it = shelf.engines.begin(); it != shelf.engines.end(); ++it) {
            if (it->kind == kind) {
                std::unique_ptr<tesseract::TessBaseAPI> engine = std::move(it->engine);
                shelf.engines.erase(it);
                return engine;
            }
        }
    }
    return Load(kind);
}

void ReturnEngine(const EngineKind& kind, std::unique_ptr<tesseract::TessBaseAPI> engine) {
    if (!engine) {
        return;
    }
    engine->Clear();
    Shelf& shelf = TheShelf();
    std::lock_guard<std::mutex> hold(shelf.lock);
    if (KeptOfKind(shelf, kind) >= ShelfCapacity()) {
        return;  // enough idle engines of the kind; this one is released
    }
    shelf.engines.push_back({kind, std::move(engine)});
}

void ReleaseShelvedEngines() {
    std::vector<ShelvedEngine> released;
    {
        Shelf& shelf = TheShelf();
        std::lock_guard<std::mutex> hold(shelf.lock);
        released.swap(shelf.engines);
    }
}

size_t ShelvedEngines() {
    Shelf& shelf = TheShelf();
    std::lock_guard<std::mutex> hold(shelf.lock);
    return shelf.engines.size();
}

}  // namespace kximgproc
