#include "ver_1/scan_options.h"

#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
#include "platform/driver/option_source.h"

namespace ver_1 {

namespace {

constexpr char kSplit[] = "图像拆分";
constexpr char kNoise[] = "黑白图像噪点优化";
constexpr char kBlankThreshold[] = "跳过空白页灵敏度";
constexpr char kResolution[] = "分辨率";
constexpr char kSheetCount[] = "扫描数量";
constexpr char kFeeder[] = "扫描张数";
constexpr char kColour[] = "颜色模式";
constexpr char kSides[] = "扫描页面";
constexpr char kOrientation[] = "文稿方向";
constexpr char kPaper[] = "纸张尺寸";

constexpr char kContinuous[] = "连续扫描";
constexpr char kCounted[] = "扫描指定张数";
constexpr char kColour24[] = "24位彩色";
constexpr char kColourAuto[] = "颜色自动识别";
constexpr char kGrey[] = "256级灰度";
constexpr char kBlackWhite[] = "黑白";
constexpr char kDuplex[] = "双面";
constexpr char kSimplex[] = "单面";
constexpr char kSkipBlank[] = "跳过空白页（通用）";
constexpr char kSkipBlankInvoice[] = "跳过空白页（发票纸）";
constexpr char kPaperOriginal[] = "匹配原始尺寸";

void ApplyString(const std::string& title, const std::string& text, ScanParams& params) {
    if (title == kFeeder) {
        if (text == kContinuous) params.autofeeder = true;
        if (text == kCounted) params.autofeeder = false;
    } else if (title == kColour) {
        if (text == kColour24 || text == kColourAuto) params.pixel = 2;
        if (text == kGrey) params.pixel = 1;
        if (text == kBlackWhite) params.pixel = 0;
    } else if (title == kSides) {
        if (text == kDuplex || text == kSimplex) {
            params.white = false;
            params.single = text == kSimplex;
        } else if (text == kSkipBlank || text == kSkipBlankInvoice) {
            params.white = true;
            params.single = false;
        }
    } else if (title == kOrientation) {
        if (text == "0°") params.orentation = 0;
        if (text == "90°") params.orentation = 90;
        if (text == "180°") params.orentation = 180;
        if (text == "-90°") params.orentation = 270;
    } else if (title == kPaper) {
        if (text == kPaperOriginal) params.paperType = "Auto";
        if (text == "A3" || text == "A4") params.paperType = text;
    }
}

bool StringFor(const std::string& title, const ScanParams& params, std::string* text) {
    if (title == kFeeder) {
        *text = params.autofeeder ? kContinuous : kCounted;
    } else if (title == kColour) {
        *text = params.pixel == 0 ? kBlackWhite : params.pixel == 1 ? kGrey : kColour24;
    } else if (title == kSides) {
        *text = params.single ? kSimplex : params.white ? kSkipBlank : kDuplex;
    } else if (title == kOrientation) {
        *text = params.orentation == 90    ? "90°"
                : params.orentation == 180 ? "180°"
                : params.orentation == 270 ? "-90°"
                                           : "0°";
    } else if (title == kPaper) {
        *text = params.paperType == "A3" || params.paperType == "A4" ? params.paperType
                                                                     : kPaperOriginal;
    } else {
        return false;
    }
    return true;
}

const char* TypeName(SANE_Value_Type type) {
    switch (type) {
        case SANE_TYPE_BOOL:
            return "BOOL";
        case SANE_TYPE_INT:
            return "INT";
        case SANE_TYPE_FIXED:
            return "FIXED";
        case SANE_TYPE_STRING:
            return "STRING";
        case SANE_TYPE_BUTTON:
            return "BUTTON";
        case SANE_TYPE_GROUP:
            return "GROUP";
    }
    return "UNKNOWN";
}

// Logs one option as it is walked, and returns its value when the type has
// one the table can use (bool, int and string; fixed options are not in it).
bool ReadOption(OptionSource& options, int index, const SANE_Option_Descriptor& descriptor,
                OptionValue* value) {
    KXBase_WriteInfo(KX_LOG_INFO, "title=%s", Utf8ToAnsi(descriptor.title).c_str());
    bool used = descriptor.type == SANE_TYPE_BOOL || descriptor.type == SANE_TYPE_INT ||
                descriptor.type == SANE_TYPE_STRING;
    OptionReading reading;
    if (!used || !ReadOptionValue(options, index, descriptor, &reading)) {
        KXBase_WriteInfo(KX_LOG_INFO, "\t\tvalueType=%s", TypeName(descriptor.type));
        return false;
    }
    value->number = reading.word;
    value->text = reading.text;
    if (descriptor.type == SANE_TYPE_STRING)
        KXBase_WriteInfo(KX_LOG_INFO, "\t\tvalueType=STRING, value=%s",
                         Utf8ToAnsi(value->text).c_str());
    else if (descriptor.type == SANE_TYPE_BOOL)
        KXBase_WriteInfo(KX_LOG_INFO, "\t\tvalueType=BOOL, value=%s",
                         value->number != 0 ? "TRUE" : "FALSE");
    else
        KXBase_WriteInfo(KX_LOG_INFO, "\t\tvalueType=INT, value=%d", value->number);
    return true;
}

// Sets one option the table covers; values the option cannot hold (a string
// longer than its size, any value of an array option) are not set.
void WriteOption(OptionSource& options, int index, const SANE_Option_Descriptor& descriptor,
                 const OptionValue& value) {
    if (descriptor.type == SANE_TYPE_STRING)
        WriteOptionText(options, index, descriptor, value.text);
    else
        WriteOptionWord(options, index, descriptor, value.number);
}

}  // namespace

void ApplyOptionValue(const std::string& title, SANE_Value_Type type, const OptionValue& value,
                      ScanParams& params) {
    if (type == SANE_TYPE_BOOL) {
        if (title == kSplit) params.splitImage = value.number != 0 ? 1 : 0;
        if (title == kNoise) params.noiseDetachEnable = value.number != 0;
    } else if (type == SANE_TYPE_INT) {
        if (title == kBlankThreshold) params.discardBlankThre = value.number;
        if (title == kResolution) params.resolution = value.number;
    } else if (type == SANE_TYPE_STRING) {
        ApplyString(title, value.text, params);
    }
}

bool OptionValueFor(const std::string& title, SANE_Value_Type type, const ScanParams& params,
                    OptionValue* value) {
    switch (type) {
        case SANE_TYPE_BOOL:
            if (title == kSplit)
                value->number = params.splitImage != 0 ? 1 : 0;
            else if (title == kNoise)
                value->number = params.noiseDetachEnable ? 1 : 0;
            else
                return false;
            return true;
        case SANE_TYPE_INT:
            if (title == kBlankThreshold)
                value->number = params.discardBlankThre;
            else if (title == kResolution)
                value->number = params.resolution;
            else if (title == kSheetCount)
                value->number = 1;
            else
                return false;
            return true;
        case SANE_TYPE_STRING:
            return StringFor(title, params, &value->text);
        default:
            return false;
    }
}

void ReadScannerOptions(OptionSource& options, ScanParams& params) {
    int count = OptionCount(options);
    for (int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = options.Descriptor(index);
        if (descriptor == nullptr || descriptor->title == nullptr) continue;
        OptionValue value;
        if (ReadOption(options, index, *descriptor, &value)) {
            ApplyOptionValue(descriptor->title, descriptor->type, value, params);
        }
    }
}

void WriteScannerOptions(OptionSource& options, const ScanParams& params) {
    int count = OptionCount(options);
    for (int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = options.Descriptor(index);
        if (descriptor == nullptr || descriptor->title == nullptr) continue;
        OptionValue value;
        if (OptionValueFor(descriptor->title, descriptor->type, params, &value)) {
            WriteOption(options, index, *descriptor, value);
        }
    }
}

}  // namespace ver_1
