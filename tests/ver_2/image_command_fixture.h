// End-to-end fixture for the image-processing commands: the real service
// saving results as PNG (lossless, so pixels can be compared exactly), input
// pictures written by the image library, results read back, batch images put
// straight into the database, and the check that no file made on the way
// survives a command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/kx_image.h"
#include "platform/image/proc/page_maker.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {

using imgproc_test::Image;
using imgproc_test::Rgb;

class ImageCommandTest : public Generation2Test {
  protected:
    // Starts the service and has it save single results as PNG.
    void StartSavingPng();

    // Sends {"func": func, ...members} (members: JSON text without braces,
    // may be empty) and returns the reply.
    Json Command(const std::string& func, const std::string& members = "");

    // Writes the image as PNG (or JPEG) into the test's input folder; the path.
    std::string WritePng(KXImage image, const std::string& name);
    std::string WriteJpeg(KXImage image, const std::string& name);
    // A PNG of one colour.
    std::string SolidPng(uint32_t width, uint32_t height, Rgb color, const std::string& name);

    // Adds a picture file to the end of the current batch ("default"), as
    // the batch store keeps it: a row with its format and bytes and an order
    // row.
    void AppendBatchImage(const std::string& path, const std::string& format);

    // Every file in the service's temporary folder, at any depth.
    std::vector<std::string> TemporaryFiles() const;
    // Every file in the save folder.
    std::vector<std::string> SavedFiles() const { return FilesIn(SaveFolder()); }

    std::string InputFolder() const { return home_.root().path() + "inputs/"; }
};

// The picture of an image or document file as RGB; null when it does not load.
Image LoadPicture(const std::string& path);
KXImageInfo InfoOf(KXImage image);
// A picture whose pixel (x, y) is (x mod 256, y mod 256, 77), so every
// piece cut out of it tells where it came from.
Image Gradient(uint32_t width, uint32_t height);

// "data:<prefix>;base64," + the file's Base64, with the given prefix.
std::string DataUrlOf(const std::string& path, const std::string& prefix);
std::string Base64Decode(const std::string& text);
// Standard output of a shell command; *status gets its exit status.
std::string Shell(const std::string& command, int* status = nullptr);
// Names and contents of the entries of a ZIP file, in archive order.
std::vector<std::pair<std::string, std::string>> ZipContents(const std::string& path);
// A JSON array of strings.
std::string JsonArray(const std::vector<std::string>& items);

}  // namespace testing_support
