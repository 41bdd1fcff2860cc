// The first generation's image folders: one folder per pid (a scanner name)
// under the documents folder + "scanbridge/", holding the image files and
// "images.txt", their display order, one bare file name per line.
//
// A pid is a scanner name, which may hold bytes a folder name cannot ("/"
// in most SANE device names, ":"): its folder is named by PidFolderName,
// which percent-encodes them, so every non-empty pid has a folder of its own
// inside the store. Image names that could leave their folder (a path
// separator, "..", an empty or "." name) are refused by IsSafeName; lines of
// "images.txt" that are not safe names are never returned, so a list edited
// by hand or written by a request cannot point outside the folder either.
//
// Free functions without state; any thread. The store has no lock: the
// back end keeps the service thread away from it while the driver's thread
// files pages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/image_holders.h"
#include "platform/image/kx_image.h"

namespace ver_1 {

constexpr char kImageListName[] = "images.txt";

// True for a non-empty name without "/", "\\" or "..", other than "." and
// the list file's own name.
bool IsSafeName(const std::string& name);

// The folder name of a pid: the pid itself, except that "/", "\\", ":",
// control bytes, a "%" that would read as an escape (one followed by two hex
// digits) and, in a pid that is "." or holds "..", every "." are written as
// "%XX" (upper-case hex). Pids without those bytes keep their own name;
// distinct pids never share a folder name. "" for an empty pid.
std::string PidFolderName(const std::string& pid);

// documents folder + "scanbridge/" + PidFolderName(pid) + "/", normalised;
// false (folder empty) for an empty pid.
bool ImageDirectory(const std::string& pid, std::string* folder);

// The listed safe names in order; a missing file or an unsafe pid is an
// empty list.
std::vector<std::string> ReadImageList(const std::string& pid);
// Rewrites the list; false when the file cannot be written or the pid is
// unsafe. The folder is not created.
bool WriteImageList(const std::string& pid, const std::vector<std::string>& names);

// The integer the name starts with (C's atoi), 0 without leading digits.
long long NameNumber(const std::string& name);
// "<1 + the largest number of the names, at least 0>.<extension>".
std::string NextImageName(const std::vector<std::string>& names, const std::string& extension);

// The image at path as RGB, or null when it cannot be loaded.
ImageHolder LoadRgbImage(const std::string& path);
// A new RGB image, or null.
ImageHolder CreateRgbImage(uint32_t width, uint32_t height);

// JPEG bytes of the image, empty on failure.
std::vector<uint8_t> EncodeJpeg(KXImage image);
std::string Base64Text(const uint8_t* data, size_t size);
// "data:image/jpeg;base64," + the Base64 of the image's JPEG bytes; "" on
// failure.
std::string JpegDataUrl(KXImage image);
std::string JpegDataUrl(const std::vector<uint8_t>& jpeg);

// The extension new images are stored with: format when the image library
// can write a single image in it ("jpg", "jpeg", "bmp", "png", "tif",
// "tiff", "pdf", "ofd", any letter case), else "jpg", so that a mistyped
// format never loses an image.
std::string StoredImageExtension(const std::string& format);

// Saves the image under folder + name (the format chosen by the extension),
// creating the folder, and gives its data URL. A JPEG image is encoded once:
// the same bytes become the file and the data URL. False when the file could
// not be written (no file is left then); the data URL is filled either way.
bool SaveNewImage(KXImage image, const std::string& folder, const std::string& name,
                  std::string* dataUrl);

}  // namespace ver_1
