// The file steps of the workflow: what each says through the session (once,
// in order), and definition files of every kind read for export and diff.
#include "workflow/definition_files.h"
#include "workflow_fixture.h"

#include <cstring>
#include <functional>
#include <memory>

namespace {

class FilesTest : public WorkflowTest {};

TEST_F(FilesTest, LoadAndSaveSayEachMessageOnceThroughTheSession) {
    const std::string image = readWhole("def.dat");
    fs::create_directory("folder.dat");
    struct Case {
        std::function<bool()> step;
        bool ok;
        const char* said;
    };
    const auto save = [this](const char* path) {
        return [this, path] { return saveDefinition(session_, path); };
    };
    const std::vector<Case> cases = {
        {[this] { return loadDefinition(session_, "def.dat"); }, true,
         "Loaded configuration file !\n"},
        {[this] { return loadDefinition(session_, "none.dat"); }, false, "Could not open file !\n"},
        {save("s.dat"), true, "Saved configuration file !\n"},
        {save(""), false, ""},
        {save("folder.dat"), false, "Could not save folder.dat: Is a directory\n"},
        {[&] { return saveSettingsImage(session_, image, "i.dat"); }, true,
         "Saved configuration file !\n"},
        // With "Saved.txt" blocked as well, both failures are said.
        {[] { return fs::remove("Saved.txt") && fs::create_directory("Saved.txt"); }, true, ""},
        {save("s.dat"), false, "Could not write Saved.txt: Is a directory\n"},
        {save("folder.dat"), false,
         "Could not save folder.dat: Is a directory\nCould not write Saved.txt: Is a directory\n"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        messages_.clear();
        EXPECT_EQ(cases[i].step(), cases[i].ok) << "case " << i;
        EXPECT_EQ(messages_, cases[i].said) << "case " << i;
    }
    EXPECT_EQ(readWhole("i.dat"), image);
}

TEST_F(FilesTest, DefinitionFilesOfEveryKindReadAsTheyStand) {
    ASSERT_TRUE(buildDefinition(session_, true)); // "EEPkey.bin"
    ASSERT_TRUE(exportJson(session_, "d.json"));
    std::ofstream("bad.json") << "{";
    std::ofstream("foreign.dat", std::ios::binary) << std::string("\x09\0\0\0\x09\0\0\0", 8);
    struct Case {
        const char* path;
        const char* refusal; // "" when read
        bool isImage;
    };
    for (const Case& c :
         {Case{"def.dat", "", false}, Case{"EEPkey.bin", "", true}, Case{"d.json", "", false},
          Case{"none.dat", "none.dat: cannot be read", false},
          Case{"bad.json", "bad.json: line 1, column 2: ", false},
          Case{"foreign.dat", "foreign.dat is not a settings file", false}}) {
        auto file = std::make_unique<DefinitionFile>();
        const Outcome read = readDefinitionFile(c.path, *file);
        EXPECT_EQ(read.ok, *c.refusal == '\0') << c.path;
        EXPECT_EQ(read.message.text.substr(0, std::strlen(c.refusal)), c.refusal) << c.path;
        EXPECT_EQ(file->isImage, c.isImage) << c.path;
        if (read && !c.isImage) {
            // A 4.0 file as it stands; what export writes is what was read.
            EXPECT_EQ(file->definition.settings, readWhole("def.dat")) << c.path;
            ASSERT_TRUE(exportDefinitionFile(c.path, "e.json"));
            PortableDefinition exported;
            ASSERT_TRUE(loadDefinitionJson("e.json", exported));
            EXPECT_EQ(exported, file->definition) << c.path;
        }
        if (c.isImage) {
            EXPECT_EQ(file->image.bytes, session_.image.bytes);
            EXPECT_EQ(file->definition, readableImage(session_.image));
        }
    }
    EXPECT_EQ(messages_.find("Load"), std::string::npos) << "nothing is shown: " << messages_;
}

} // namespace
