// Conversions between the three forms in which images travel: files on
// disk, bytes in memory and Base64 text, with or without a data-URL prefix.
//
// Formats are the image-file library's codes (1 JPEG "jpg", 2 BMP "bmp",
// 3 PNG "png", 4 TIFF "tif", 5 PDF "pdf", 6 OFD "ofd"), each with one data-URL
// prefix: "data:image/jpeg;base64,", "data:image/bmp;base64,",
// "data:image/png;base64,", "data:image/tiff;base64,",
// "data:image/pdf;base64,", "data:image/ofd;base64,". Where a data URL is
// read, its prefix is everything up to and including the first comma and
// its Base64 part everything after it (up to a NUL byte).
//
// Failures: the two data-URL file routines return -1 with the reason in
// their ErrorInfo; the Base64 file routines return -1; the byte routines
// return no bytes. Nothing is logged, and no routine leaves a partly written
// file behind: a file is written completely under a temporary name and then
// moved into place. Paths must name regular files; folders, devices and pipes
// are refused without being opened.
//
// Thread rule: the routines keep no state and may run on any thread, except
// DataUrlToImageFile, which records kept files in the back end's saved-file
// list and therefore runs on the service thread. Returned buffers and texts
// belong to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ver_2/error_info.h"

namespace ver_2 {

class OutputFiles;

// The extension of a format code ("jpg" ... "ofd"), empty for other codes.
const char* ExtensionOfFormat(uint32_t format);
// True for the extension of one of the six formats ("jpg" ... "ofd").
bool IsImageExtension(std::string_view extension);
// The data-URL prefix of a format code; the JPEG prefix for other codes.
const char* DataUrlPrefixOfFormat(uint32_t format);

// The file as a data URL whose prefix names the format of its content (not
// its extension). -1 for files that are missing, empty, unreadable or not a
// recognised image or document.
int ImageFileToDataUrl(const std::string& path, std::string& dataUrl, ErrorInfo& error);

// Writes the data URL's picture to a new file named by outputs.MakeFileName:
// in the save folder, or in the temporary folder when temporary, with the
// extension the prefix names ("jpg" for the JPEG prefix and for any prefix
// that is not one of the six). A kept (not temporary) file is added to the
// saved-file list. -1, with no file written, for text without a comma, an
// empty or invalid Base64 part.
int DataUrlToImageFile(OutputFiles& outputs, std::string_view text, bool temporary,
                       std::string& path, ErrorInfo& error);

// The whole file as Base64 (no prefix); -1 for missing or empty files.
int FileToBase64(const std::string& path, std::string& base64);
// Decodes Base64 (no prefix) into the file, creating or replacing it. -1 for
// empty text, for invalid Base64 and for a failed write (nothing is touched
// then). Text that decodes to nothing gives an empty file.
int Base64ToFile(std::string_view base64, const std::string& path);

// Why a file cannot be read as an image or document ("file not found: …",
// "unsupported image format: …" and the like); empty when it can.
std::string ImageFileRefusal(const std::string& path);
// Why a data URL's picture cannot be read; empty when it can.
std::string DataUrlRefusal(std::string_view text);
// Refuse with ImageFileRefusal's reason, or "file cannot be read as an
// image: …" when the file passes those checks but its picture does not load.
int RefuseImageFile(ErrorInfo& error, const std::string& path);
// Refuse with DataUrlRefusal's reason, or decodeFailure when the data URL
// itself is sound (its picture did not decode).
int RefuseDataUrl(ErrorInfo& error, std::string_view text, const char* decodeFailure);

// The bytes of an image or document file and the extension of its format;
// no bytes for missing, empty and unrecognised files.
std::vector<uint8_t> ReadImageFile(const std::string& path, std::string& extension);
// The decoded picture of a data URL whose prefix is exactly one of the six,
// and the extension it names; no bytes for other prefixes, invalid or empty
// Base64.
std::vector<uint8_t> DataUrlToBytes(std::string_view text, std::string& extension);
// Base64 of the bytes; always true.
bool BytesToBase64(const uint8_t* bytes, size_t size, std::string& base64);
// Creates or replaces the file with the bytes; false on failure, which
// leaves a file that was at path before as it was.
bool WriteBytesToFile(const uint8_t* bytes, size_t size, const std::string& path);

}  // namespace ver_2
