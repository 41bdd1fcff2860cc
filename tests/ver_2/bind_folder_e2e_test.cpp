// Folder binding end to end: the bound folder holds exactly one numbered file
// per image of the current batch, with the picture's exact bytes, after
// binding and after every kind of change; refused bindings; a folder that
// can no longer be written refuses changes; files put in the way are
// repaired.
#include <filesystem>
#include <functional>

#include "support/temp_dir.h"
#include "ver_2/batch_fixture.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string> kExtensions = {{"data:image/jpeg;base64,", "jpg"},
                                                        {"data:image/png;base64,", "png"},
                                                        {"data:image/bmp;base64,", "bmp"},
                                                        {"data:image/tiff;base64,", "tif"}};

class BindFolder : public BatchTest {
  protected:
    std::string Folder() const { return home_.root().path() + "bound/"; }

    int Bind(int width, int base, const std::string& folder = "") {
        return Ret("bind_folder",
                   "{\"folder\":" + Quoted(folder.empty() ? Folder() : folder) +
                       ",\"name_mode\":\"order\",\"name_width\":" + std::to_string(width) +
                       ",\"name_base\":" + std::to_string(base) + "}");
    }

    // File name -> content of every file directly in the folder.
    static std::map<std::string, std::string> Files(const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const std::string& path : FilesIn(folder))
            files[fs::path(path).filename().string()] = ReadFile(path);
        return files;
    }

    // Path -> content of every entry below the folder, subfolders included
    // (a folder's content is empty).
    static std::map<std::string, std::string> Tree(const std::string& folder) {
        std::map<std::string, std::string> tree;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            tree[entry.path().string()] =
                entry.is_directory() ? "" : ReadFile(entry.path().string());
        return tree;
    }

    // What the folder must hold for the current batch.
    std::map<std::string, std::string> Expected(int width, int base) {
        std::map<std::string, std::string> files;
        int count = int(JsonNumber(Command("get_image_count"), "image_count"));
        for (int i = 0; i < count; ++i) {
            Json loaded = Command("load_image", "{\"image_index\":" + std::to_string(i) + "}");
            std::string prefix;
            std::string bytes = DataUrlBytes(JsonString(loaded, "image_base64"), &prefix);
            char number[64];
            std::snprintf(number, sizeof number, "%0*d", width, base + i);
            files[std::string(number) + "." + kExtensions.at(prefix)] = bytes;
        }
        return files;
    }

    void ExpectMirrored(int width, int base) {
        std::map<std::string, std::string> actual = Files(Folder());
        std::map<std::string, std::string> expected = Expected(width, base);
        std::vector<std::string> actualNames, expectedNames;
        for (const auto& file : actual)
            actualNames.push_back(file.first);
        for (const auto& file : expected)
            expectedNames.push_back(file.first);
        EXPECT_EQ(actualNames, expectedNames);
        EXPECT_TRUE(actual == expected) << "contents differ";
    }

    // Appends a picture whose format is that of name's extension.
    void Append(const std::string& name, int seed) {
        std::string path = MakePicture(name, 30 + seed, 20, seed);
        EXPECT_EQ(Ret("insert_local_image",
                      "{\"image_path\":" + Quoted(path) + ",\"image_tag\":\"" + name + "\"}"),
                  0);
    }
};

// Binding empties the folder, so a folder holding anything the service did
// not write is refused with nothing deleted, not even the service's own files.
TEST_F(BindFolder, AFolderHoldingForeignEntriesIsRefusedUntouched) {
    Start();
    Append("A.jpg", 1);
    WriteFile(home_.root().path() + "secret.txt", "outside the folder");
    const std::pair<const char*, std::function<void(const std::string&)>> foreign[] = {
        {"a file", [](const std::string& f) { WriteFile(f + "a.txt", "someone else's"); }},
        {"a hidden file", [](const std::string& f) { WriteFile(f + ".notes", "hidden"); }},
        {"an upper-case extension", [](const std::string& f) { WriteFile(f + "0001.JPG", "x"); }},
        {"the former swap name", [](const std::string& f) { WriteFile(f + "Temp", "mine"); }},
        {"a subfolder",
         [](const std::string& f) {
             fs::create_directories(f + "sub");
             WriteFile(f + "sub/b.txt", "kept");
         }},
        {"an empty subfolder", [](const std::string& f) { fs::create_directories(f + "9.jpg"); }},
        {"a link with an own name",
         [this](const std::string& f) {
             fs::create_symlink(home_.root().path() + "secret.txt", f + "0002.jpg");
         }},
    };
    for (const auto& [what, make] : foreign) {
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        WriteFile(Folder() + "0000.jpg", "an earlier binding's page");
        make(Folder());
        std::map<std::string, std::string> before = Tree(Folder());
        Json reply = Command("bind_folder", "{\"folder\":" + Quoted(Folder()) + "}");
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << what;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误") << what;
        EXPECT_EQ(JsonString(reply, "err_detail"),
                  "the folder holds files the service did not write: " + Folder())
            << what;
        EXPECT_TRUE(Tree(Folder()) == before) << what;
        EXPECT_EQ(ReadFile(Folder() + "0000.jpg"), "an earlier binding's page") << what;
    }
    EXPECT_EQ(ReadFile(home_.root().path() + "secret.txt"), "outside the folder");
    EXPECT_TRUE(
        home_.WaitForLog("bind_folder refused: the folder holds files the service did not write"));
    // Nothing was bound: a change leaves the folder alone.
    Append("B.jpg", 2);
    EXPECT_FALSE(fs::exists(Folder() + "0001.jpg"));
}

// A folder the service filled before (another width, staging files a killed
// process left behind) is emptied and bound as always.
TEST_F(BindFolder, AFolderHoldingOnlyTheServicesOwnFilesIsClearedAndBound) {
    Start();
    Append("A.jpg", 1);
    Append("B.png", 2);
    for (const char* name :
         {"0000.jpg", "0001.png", "0002.tif", "17.pdf", "0003.jpg.Ab12Cd", ".scanbridge-swap",
          ".scanbridge-reorder-1", ".scanbridge-probe", ".scanbridge-probe-1a2b3c4d"}) {
        WriteFile(Folder() + name, "left over");
    }
    EXPECT_EQ(Bind(2, 0), 0);
    ExpectMirrored(2, 0);
    EXPECT_EQ(Files(Folder()).size(), 2u);
}

TEST_F(BindFolder, FilesAreNumberedByWidthAndBase) {
    Start();
    Append("a.jpg", 1);
    Append("b.jpg", 2);
    Append("c.jpg", 3);
    EXPECT_EQ(Bind(3, 0), 0);
    std::map<std::string, std::string> files = Files(Folder());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files["000.jpg"], ReadFile(InputFolder() + "a.jpg"));
    EXPECT_EQ(files["001.jpg"], ReadFile(InputFolder() + "b.jpg"));
    EXPECT_EQ(files["002.jpg"], ReadFile(InputFolder() + "c.jpg"));

    Append("d.png", 4);
    Append("e.jpg", 5);
    std::string second = home_.root().path() + "second/./";
    EXPECT_EQ(Bind(1, 9, second), 0);
    std::vector<std::string> names;
    for (const auto& file : Files(home_.root().path() + "second/"))
        names.push_back(file.first);
    EXPECT_EQ(names, (std::vector<std::string>{"10.jpg", "11.jpg", "12.png", "13.jpg", "9.jpg"}));
    // The folder bound before keeps what it had.
    EXPECT_EQ(Files(Folder()).size(), 5u);
}

TEST_F(BindFolder, EveryChangeIsMirrored) {
    Start();
    Append("A.jpg", 1);
    Append("B.png", 2);
    Append("C.jpg", 3);
    Append("D.png", 4);
    EXPECT_EQ(Bind(2, 0), 0);
    ExpectMirrored(2, 0);

    std::string x = MakePicture("X.jpg", 12, 12, 7);
    EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(x) + ",\"insert_pos\":1}"), 0);
    EXPECT_EQ(ReadFile(Folder() + "01.jpg"), ReadFile(x));
    EXPECT_EQ(ReadFile(Folder() + "02.png"), ReadFile(InputFolder() + "B.png"));
    ExpectMirrored(2, 0);  // A X B C D

    EXPECT_EQ(Ret("delete_image", R"({"image_index_list":[0,2]})"), 0);
    EXPECT_EQ(ReadFile(Folder() + "00.jpg"), ReadFile(x));
    ExpectMirrored(2, 0);  // X C D

    EXPECT_EQ(Ret("exchange_image", R"({"image_index_1":1,"image_index_2":2})"), 0);
    EXPECT_EQ(ReadFile(Folder() + "01.png"), ReadFile(InputFolder() + "D.png"));
    EXPECT_EQ(ReadFile(Folder() + "02.jpg"), ReadFile(InputFolder() + "C.jpg"));
    ExpectMirrored(2, 0);  // X D C

    std::string png = ReadFile(MakePicture("Y.png", 9, 9, 8));
    EXPECT_EQ(Ret("modify_image", "{\"image_index\":0,\"image_base64\":\"data:image/png;base64," +
                                      Base64Encode(png) + "\"}"),
              0);
    EXPECT_FALSE(fs::exists(Folder() + "00.jpg"));
    EXPECT_EQ(ReadFile(Folder() + "00.png"), png);
    ExpectMirrored(2, 0);  // Y D C

    EXPECT_EQ(Ret("modify_image_by_local",
                  "{\"image_index\":2,\"image_path\":" + Quoted(InputFolder() + "A.jpg") + "}"),
              0);
    ExpectMirrored(2, 0);  // Y D A

    EXPECT_EQ(Ret("move_image", R"({"image_index_list":[2],"mode":"pos","target":0})"), 0);
    ExpectMirrored(2, 0);  // A Y D
    Append("E.jpg", 9);
    Append("F.png", 10);
    EXPECT_EQ(Ret("image_book_sort"), 0);
    ExpectMirrored(2, 0);
    EXPECT_EQ(Ret("modify_image_tag", R"({"image_index_list":[0],"image_tag_list":["t"]})"), 0);
    ExpectMirrored(2, 0);

    // Another batch takes the folder over; coming back restores the files.
    std::map<std::string, std::string> before = Files(Folder());
    EXPECT_EQ(Ret("new_batch", R"({"batch_id":"empty"})"), 0);
    EXPECT_TRUE(Files(Folder()).empty());
    Append("G.png", 11);
    ExpectMirrored(2, 0);
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"default"})"), 0);
    EXPECT_TRUE(Files(Folder()) == before);

    EXPECT_EQ(Ret("clear_image_list"), 0);
    EXPECT_TRUE(Files(Folder()).empty());
    for (const std::string& path : FilesIn(Folder()))
        ADD_FAILURE() << "left over: " << path;
}

TEST_F(BindFolder, AStoppedBindingLeavesTheFolderAlone) {
    Start();
    EXPECT_EQ(Ret("stop_bind_folder"), 0);  // nothing bound: fine
    Append("A.jpg", 1);
    EXPECT_EQ(Bind(1, 0), 0);
    EXPECT_EQ(Ret("stop_bind_folder"), 0);
    std::map<std::string, std::string> before = Files(Folder());
    Append("B.jpg", 2);
    EXPECT_EQ(Ret("delete_image", R"({"image_index_list":[0]})"), 0);
    EXPECT_EQ(Ret("new_batch", R"({"batch_id":"next"})"), 0);
    EXPECT_TRUE(Files(Folder()) == before);
}

TEST_F(BindFolder, BadSettingsAndUnwritableFoldersAreRefused) {
    Start();
    Append("A.jpg", 1);
    WriteFile(home_.root().path() + "plain.txt", "a file, not a folder");
    const std::string refused[] = {
        "{\"folder\":" + Quoted(Folder()) + ",\"name_width\":0}",
        "{\"folder\":" + Quoted(Folder()) + ",\"name_base\":-1}",
        "{\"folder\":" + Quoted(Folder()) + ",\"name_width\":100000}",
        R"({"folder":""})",
        R"({"name_width":2})",
        "{\"folder\":" + Quoted(home_.root().path() + "plain.txt") + "}",
        "{\"folder\":" + Quoted(home_.root().path() + "plain.txt/sub") + "}",
        R"({"folder":"/proc/scanbridge-bound"})",
        // The folders of the service's own files: binding would clear them.
        "{\"folder\":" + Quoted(home_.configDir()) + "}",
        "{\"folder\":" + Quoted(home_.configDir() + "../config") + "}",
        "{\"folder\":" + Quoted(TmpFolder()) + "}",
        "{\"folder\":" + Quoted(SaveFolder()) + "}",
    };
    for (const std::string& members : refused) {
        Json reply = Command("bind_folder", members);
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << members;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
    }
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_TRUE(fs::exists(home_.configDir() + "newConfig2.db"));
    // A width given as text counts as not given: 1.
    EXPECT_EQ(Ret("bind_folder", "{\"folder\":" + Quoted(Folder()) + ",\"name_width\":\"4\"}"), 0);
    EXPECT_EQ(Files(Folder()).count("0.jpg"), 1u);
}

TEST_F(BindFolder, AFolderThatCannotBeWrittenRefusesChanges) {
    Start();
    Append("A.jpg", 1);
    Append("B.jpg", 2);
    EXPECT_EQ(Bind(2, 0), 0);
    Command("new_batch", R"({"batch_id":"other"})");
    Command("open_batch", R"({"batch_id":"default"})");
    fs::remove_all(Folder());
    WriteFile(home_.root().path() + "bound", "the folder is now a file");

    std::string x = MakePicture("X.png", 5, 5);
    std::vector<std::string> rows = Query("select * from table_default");
    std::vector<std::string> order = Query("select * from table_default_idx");
    const std::pair<const char*, std::string> changes[] = {
        {"insert_local_image", "{\"image_path\":" + Quoted(x) + "}"},
        {"modify_image_by_local", "{\"image_index\":0,\"image_path\":" + Quoted(x) + "}"},
        {"delete_image", R"({"image_index_list":[0]})"},
        {"exchange_image", R"({"image_index_1":0,"image_index_2":1})"},
        {"move_image", R"({"image_index_list":[1],"target":0})"},
        {"image_book_sort", "{}"},
        {"clear_image_list", "{}"},
        {"open_batch", R"({"batch_id":"other"})"},
        {"new_batch", R"({"batch_id":"third"})"},
    };
    for (const auto& [func, members] : changes)
        EXPECT_EQ(Ret(func, members), -1) << func;
    EXPECT_EQ(Query("select * from table_default"), rows);
    EXPECT_EQ(Query("select * from table_default_idx"), order);
    EXPECT_EQ(CurrentBatch(), "default");
    EXPECT_EQ(ReadFile(home_.root().path() + "bound"), "the folder is now a file");

    // Once the folder can be written again, the next change writes it whole.
    fs::remove(home_.root().path() + "bound");
    EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(x) + ",\"insert_pos\":0}"), 0);
    ExpectMirrored(2, 0);
}

TEST_F(BindFolder, FilesPutInTheWayAreRepaired) {
    Start();
    Append("A.jpg", 1);
    Append("B.jpg", 2);
    EXPECT_EQ(Bind(2, 0), 0);
    WriteFile(Folder() + "02.jpg", "in the way of B's rename");
    WriteFile(Folder() + "Temp", "another program's file");
    std::string x = MakePicture("X.jpg", 5, 5);
    EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(x) + ",\"insert_pos\":0}"), 0);
    EXPECT_EQ(Ret("exchange_image", R"({"image_index_1":0,"image_index_2":2})"), 0);
    // Writing the folder again deletes only the service's own files.
    EXPECT_EQ(ReadFile(Folder() + "Temp"), "another program's file");
    fs::remove(Folder() + "Temp");
    ExpectMirrored(2, 0);
    EXPECT_EQ(TagOrder(), "B.jpgA.jpg");
}

}  // namespace
}  // namespace testing_support
