#include "platform/image/proc/font_resolver.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/kx_imgproc.h"

namespace kximgproc {
namespace {

constexpr std::array<std::string_view, 16> kSerifNames = {
    "宋体",        "simsun",     "新宋体",   "nsimsun",     "仿宋",     "fangsong",
    "仿宋_gb2312", "楷体",       "kaiti",    "楷体_gb2312", "华文宋体", "stsong",
    "华文仿宋",    "stfangsong", "华文楷体", "stkaiti"};
constexpr std::array<std::string_view, 14> kSansNames = {
    "黑体",     "simhei",          "微软雅黑", "microsoft yahei", "等线", "dengxian",
    "华文黑体", "stheiti",         "幼圆",     "youyuan",         "苹方", "pingfang sc",
    "冬青黑体", "hiragino sans gb"};

constexpr std::array<std::string_view, 5> kGenericNames = {"serif", "sans-serif", "sans",
                                                           "monospace", "mono"};
// Faces that pages name from their own systems, by kind. fontconfig's alias
// rules give each a close installed face, else the default face of its kind.
constexpr std::array<std::string_view, 8> kCommonSansNames = {
    "arial",   "helvetica", "verdana",      "tahoma",
    "calibri", "segoe ui",  "trebuchet ms", "microsoft sans serif"};
constexpr std::array<std::string_view, 4> kCommonSerifNames = {"times new roman", "times",
                                                               "georgia", "cambria"};
constexpr std::array<std::string_view, 4> kCommonMonoNames = {"courier new", "courier", "consolas",
                                                              "lucida console"};

constexpr const char* kCjkSerif = "Noto Serif CJK SC";
constexpr const char* kCjkSans = "Noto Sans CJK SC";

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* set) const { FcObjectSetDestroy(set); }
};

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

template <size_t N>
bool IsOneOf(const std::string& name, const std::array<std::string_view, N>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The families to ask fontconfig for, most wanted first.
void AddFamilies(FcPattern* pattern, const std::string& name) {
    std::string key = AsciiLower(name);
    auto add = [pattern](const char* family) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    };
    if (IsOneOf(key, kSerifNames)) {
        add(kCjkSerif);
        add("serif");
    } else if (IsOneOf(key, kSansNames)) {
        add(kCjkSans);
        add("sans-serif");
    } else if (!name.empty()) {
        add(name.c_str());
        if (IsOneOf(key, kCommonSansNames)) add("sans-serif");
        if (IsOneOf(key, kCommonSerifNames)) add("serif");
        if (IsOneOf(key, kCommonMonoNames)) add("monospace");
    }
    add(kCjkSans);
}

// How many characters of text the candidate can draw.
size_t Coverage(FcPattern* candidate, const std::u32string& text) {
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &charset) != FcResultMatch) {
        return 0;
    }
    return std::count_if(text.begin(), text.end(), [charset](char32_t c) {
        return c < 0x20 || FcCharSetHasChar(charset, c);
    });
}

bool IsScalable(FcPattern* candidate) {
    FcBool outline = FcFalse;
    return FcPatternGetBool(candidate, FC_OUTLINE, 0, &outline) == FcResultMatch && outline;
}

bool Describe(FcPattern* candidate, ResolvedFont* font) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
        return false;
    }
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
    FcPatternGetInteger(candidate, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(candidate, FC_SLANT, 0, &slant);
    font->file = reinterpret_cast<const char*>(file);
    font->index = index;
    font->bold = weight >= FC_WEIGHT_DEMIBOLD;
    font->italic = slant != FC_SLANT_ROMAN;
    return true;
}

}  // namespace

bool ResolveFont(const std::string& name, bool bold, bool italic, const std::u32string& text,
                 ResolvedFont* font) {
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    if (!pattern || FcInit() == FcFalse) {
        return false;
    }
    AddFamilies(pattern.get(), name);
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetDeleter> sorted(
        FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    if (!sorted) {
        return false;
    }
    FcPattern* best = nullptr;
    size_t bestCoverage = 0;
    for (int i = 0; i < sorted->nfont; ++i) {
        FcPattern* candidate = sorted->fonts[i];
        if (!IsScalable(candidate)) {
            continue;
        }
        size_t coverage = Coverage(candidate, text);
        if (best == nullptr || coverage > bestCoverage) {
            best = candidate;
            bestCoverage = coverage;
        }
        if (coverage == text.size()) {
            break;
        }
    }
    return best != nullptr && Describe(best, font);
}

bool IsKnownFontName(const std::string& name) {
    std::string key = AsciiLower(name);
    if (IsOneOf(key, kSerifNames) || IsOneOf(key, kSansNames) || IsOneOf(key, kGenericNames) ||
        IsOneOf(key, kCommonSansNames) || IsOneOf(key, kCommonSerifNames) ||
        IsOneOf(key, kCommonMonoNames)) {
        return true;
    }
    if (name.empty() || FcInit() == FcFalse) {
        return false;
    }
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(FcObjectSetBuild(FC_FAMILY, nullptr));
    if (!pattern || !objects) {
        return false;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    std::unique_ptr<FcFontSet, FontSetDeleter> faces(
        FcFontList(nullptr, pattern.get(), objects.get()));
    return faces && faces->nfont > 0;
}

}  // namespace kximgproc

int KXImgProc_FindFont(const char* name) {
    if (name == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    return GuardedCall(__func__,
                       [&] { return kximgproc::IsKnownFontName(name) ? KX_OK : KX_ERR_NOT_FOUND; });
}
