#include "ver_2/page_files.h"

#include <cstdio>
#include <deque>
#include <set>

#include "platform/base/annotated_mutex.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/image/image_formats.h"
#include "platform/image/proc/kx_imgproc.h"

namespace ver_2 {

namespace {

// Names handed out recently, so that a name is not given twice before its
// file has been written. Writers finish long before this many names follow.
constexpr size_t kRememberedNames = 256;

struct IssuedNames {
    Mutex mutex;
    std::set<std::string> names GUARDED_BY(mutex);
    std::deque<std::string> order GUARDED_BY(mutex);

    bool Contains(const std::string& path) const REQUIRES(mutex) { return names.count(path) != 0; }
    void Add(const std::string& path) REQUIRES(mutex) {
        names.insert(path);
        order.push_back(path);
        if (order.size() > kRememberedNames) {
            names.erase(order.front());
            order.pop_front();
        }
    }
};

IssuedNames& Issued() {
    static IssuedNames* issued = new IssuedNames;
    return *issued;
}

std::string CandidateName(const std::string& folder, const std::string& prefix,
                          const std::string& mode, const std::string& extension) {
    char stem[64] = {};
    if (mode == "random") {
        KXBase_GetUuid(stem, sizeof stem);
    } else {
        KXLocalTime now{};
        KXBase_GetLocalTime(&now);
        std::snprintf(stem, sizeof stem, "%04d%02d%02d%02d%02d%02d%03d", now.year, now.month,
                      now.day, now.hour, now.minute, now.second, now.milliseconds);
    }
    return folder + prefix + stem + "." + extension;
}

uint32_t FormatOfExtension(const std::string& extension) {
    const ImageFormatName* format = FindImageFormatByExtension(extension);
    return format != nullptr ? format->code : KX_FORMAT_UNKNOWN;
}

// The page picture is encoded as the plain PDF or OFD format would encode
// it (JPEG at the configured quality), not losslessly: a scanned page is raw
// pixels, and a lossless colour scan page is many times the size.
int WriteSearchable(KXImage image, const PageSaveSettings& settings, const std::string& path) {
    KXOcrMgr manager = nullptr;
    if (KXImgProc_CreateOCRMgr(&manager) != 0 || manager == nullptr) return -1;
    int status = KXImgProc_ImageOCRToFile(
        manager, image, KXImgProc_OcrScanFlags(settings.info.jpegQuality), path.c_str());
    KXImgProc_DestroyOCRMgr(manager);
    return status == 0 ? 0 : -1;
}

// Encodes into a sibling file first and moves it into place, so the path
// never holds half a file, not even after a crash.
int WriteEncoded(KXImage image, const PageSaveSettings& settings, const std::string& path) {
    uint32_t format = FormatOfExtension(settings.extension);
    if (format == KX_FORMAT_UNKNOWN) return -1;
    std::string partial = path + ".part";
    if (KXImgFmt_SaveImage(image, format, &settings.info, partial.c_str()) != 0) {
        KXBase_DeleteFile(partial.c_str());
        return -1;
    }
    if (KXBase_MoveFile(partial.c_str(), path.c_str()) != 0) {
        KXBase_DeleteFile(partial.c_str());
        return -1;
    }
    return 0;
}

}  // namespace

uint32_t TiffCompressionCode(const std::string& name) {
    if (name == "none") return KX_TIFF_NONE;
    if (name == "jpeg") return KX_TIFF_JPEG;
    if (name == "ccitt-g4") return KX_TIFF_CCITT_G4;
    return KX_TIFF_LZW;
}

PageSaveSettings PageSaveSettingsFor(const GlobalConfig& config) {
    PageSaveSettings settings;
    if (config.imageFormat == "ocr-pdf") {
        settings.extension = "pdf";
        settings.ocr = true;
    } else if (config.imageFormat == "ocr-ofd") {
        settings.extension = "ofd";
        settings.ocr = true;
    } else {
        settings.extension = config.imageFormat;
    }
    settings.info.jpegQuality = static_cast<uint32_t>(config.imageJpegQuality);
    settings.info.tiffCompression = TiffCompressionCode(config.imageTiffCompression);
    settings.info.tiffJpegQuality = static_cast<uint32_t>(config.imageTiffJpegQuality);
    return settings;
}

std::string MakeUniqueFileName(const std::string& folder, const std::string& prefix,
                               const std::string& mode, const std::string& extension) {
    KXBase_CreateDir(folder.c_str());
    IssuedNames& issued = Issued();
    MutexLock guard(issued.mutex);
    for (;;) {
        std::string path = CandidateName(folder, prefix, mode, extension);
        if (KXBase_PathExists(path.c_str()) || issued.Contains(path)) continue;
        issued.Add(path);
        return path;
    }
}

int WritePageFile(KXImage image, const PageSaveSettings& settings, const std::string& path) {
    if (image == nullptr) return -1;
    if (settings.ocr) return WriteSearchable(image, settings, path);
    return WriteEncoded(image, settings, path);
}

}  // namespace ver_2
