// End-to-end fixture for the batch store: the real service, commands built
// with cJSON, picture files written for the tests, an independent reading of
// picture sizes and data URLs, and checks on the database file itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ver_2/generation2_fixture.h"

namespace testing_support {

class BatchTest : public Generation2Test {
  protected:
    // Sends {"func": func, members...}; members is JSON object text (may be
    // empty) whose members follow "func".
    Json Command(const std::string& func, const std::string& members = "{}");
    // The "ret" of a command (-99 when no reply came).
    int Ret(const std::string& func, const std::string& members = "{}");

    // A picture file in the input folder: width x height, format by the
    // extension of name ("jpg", "png", "bmp", "tif"), content varied by seed.
    std::string MakePicture(const std::string& name, uint32_t width, uint32_t height, int seed = 0);
    // Appends one small distinct PNG picture per character of tags, tagged
    // with that character; the paths, in order.
    std::vector<std::string> AppendTagged(const std::string& tags);
    // The name of the current batch.
    std::string CurrentBatch() { return JsonString(Command("get_curr_batch_id"), "batch_id"); }
    // The tags of the current batch in order, concatenated ("ABC").
    std::string TagOrder();

    // The order rows of a batch, checked: every image row has exactly one
    // order row and the idx values are 0 .. n-1. The image ids in idx order.
    std::vector<int> CheckedOrder(const std::string& batch = "default");
    // Names of the tables in the database, sorted.
    std::vector<std::string> Tables() const;

    std::string InputFolder() const { return home_.root().path() + "inputs/"; }
};

// text as a JSON string literal, quotes included.
std::string Quoted(const std::string& text);

struct PictureSize {
    std::string format;  // "jpg", "png", "bmp", "tif"; empty when unknown
    uint32_t width = 0;
    uint32_t height = 0;
};
// The format and size of picture bytes, read from their headers.
PictureSize SizeOfPicture(const std::string& bytes);

// Splits a data URL into its prefix (through the comma) and decoded bytes.
std::string DataUrlBytes(const std::string& dataUrl, std::string* prefix = nullptr);
std::string Base64Encode(const std::string& bytes);

}  // namespace testing_support
