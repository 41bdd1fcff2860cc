// Why a generation-2 operation failed.
//
// Operations that can fail return 0 or -1 and, on the way out with -1, fill
// an ErrorInfo: `text` becomes the reply's "err_info" (the back ends' narrow
// encoding: "错误", or "参数错误" for rejected settings) and `detail` the
// reply's "err_detail", the reason in plain words that a web developer can
// act on (UTF-8; it may quote the names and paths the page sent). Refuse and
// RefuseSetting are the ways to fail, and both take the reason, so a refusal
// cannot leave it out. Plain value, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ver_2/texts.h"

namespace ver_2 {

struct ErrorInfo {
    std::string text = kErrorText;
    std::string detail;
};

// Reasons shared by several operations.
inline constexpr char kNoDriver[] = "no driver is initialised (send init_device first)";
inline constexpr char kNoScanner[] = "no scanner is open";
inline constexpr char kScanRunning[] = "a scan is running";
inline constexpr char kNoDatabase[] = "the batch database is not open";
inline constexpr char kEmptyBatchId[] = "batch_id is missing or empty";
inline constexpr char kNoInputs[] = "no input images given";
inline constexpr char kUndecodablePicture[] = "the data URL's picture cannot be decoded";

// Records the reason with the generic error text; returns -1.
int Refuse(ErrorInfo& error, std::string detail);
// Records the reason with the text of rejected settings; returns -1.
int RefuseSetting(ErrorInfo& error, std::string detail);

// "<what>: <path>", the path (native encoding) converted to UTF-8.
std::string AboutFile(const char* what, const std::string& path);
// Why a regular file at path cannot be read ("file not found: …", "not a
// regular file: …", "file cannot be read: …"); empty when it can.
std::string FileRefusal(const std::string& path);
// A scanner driver status in words.
std::string DriverStatusText(int status);
// "<what> <value> is outside <low>..<high>" for a value out of its range.
std::string OutsideRange(const char* what, long long value, long long low, long long high);
// "image_index <index> is outside 0..<count - 1>", or "... the current batch
// has no images" when count is 0.
std::string NoImageAt(const char* what, int32_t index, size_t count);
// 0 when index addresses one of count images, else -1 with NoImageAt.
int CheckImageIndex(const char* what, int32_t index, size_t count, ErrorInfo& error);
// 0 when indexes is not empty and every entry addresses one of count images.
int CheckImageIndexList(const std::vector<int32_t>& indexes, size_t count, ErrorInfo& error);

}  // namespace ver_2
