// The scene files read from a folder: joined as the build joins them, compiler messages said in
// the folder's files (by hand and from a real shaderc error), and saves seen by stat.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/vulkan/vk_compile.h"
#include "player/shader_files.h"
#include "shaders/shader_source.h"
#include "tests/player/shader_folder.h"

namespace {

using shader_test::ScratchFolder;

// The line (from 1) of text on which marker first appears.
std::size_t lineOf(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << "no '" << marker << "' in the text";
  if (at == std::string::npos) return 0;
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

// Returns once a change to path would be stamped with a later time than its last one (file times
// come from a clock that moves in ticks of some milliseconds).
void awaitNextFileTime(const std::string& path) {
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
  for (;;) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (now.tv_sec > info.st_ctim.tv_sec || (now.tv_sec == info.st_ctim.tv_sec && now.tv_nsec > info.st_ctim.tv_nsec)) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string located(const std::string& path, std::size_t line) { return path + ":" + std::to_string(line); }

TEST(ShaderFilesJoin, TheProjectsFolderJoinsToTheBuiltInText) {
  ShaderFiles files(INTRO_SHADERS_DIR);
  std::string error;
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_EQ(files.text(), std::string(shaderSource, shaderSourceLength));

  // One part per listed file, in the build's order, each starting where the one before ended.
  ASSERT_EQ(files.parts().size(), shaderFileCount);
  std::size_t line = 1;
  for (unsigned i = 0; i < shaderFileCount; ++i) {
    const ShaderPart& part = files.parts()[i];
    EXPECT_EQ(std::filesystem::path(part.path).filename().string(), shaderFileNames[i]);
    EXPECT_EQ(part.firstLine, line) << part.path;
    line += part.lineCount;
  }
  EXPECT_EQ(line - 1, static_cast<std::size_t>(std::count(shaderSource, shaderSource + shaderSourceLength, '\n')));
}

TEST(ShaderFilesJoin, ACopyJoinsAlikeAndAMissingEmptyOrFifoFileIsNamed) {
  ScratchFolder folder("shader_copy");
  folder.copyFrom(INTRO_SHADERS_DIR);
  ShaderFiles files(folder.path());
  std::string error;
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_EQ(files.text(), std::string(shaderSource, shaderSourceLength));

  const std::string cylinder = folder.file("z5_tiled_cylinder.hlsl");
  std::filesystem::remove(cylinder);
  EXPECT_FALSE(files.load(error));
  EXPECT_NE(error.find(cylinder), std::string::npos) << error;
  EXPECT_NE(error.find("copy"), std::string::npos) << "the message says what to do: " << error;
  // The last text read stays for whoever still maps its messages.
  EXPECT_EQ(files.text(), std::string(shaderSource, shaderSourceLength));

  // Empty, the file would leave its scene's entry point out of the text: said of the file.
  folder.write("z5_tiled_cylinder.hlsl", "");
  EXPECT_FALSE(files.load(error));
  EXPECT_NE(error.find(cylinder + " is empty"), std::string::npos) << error;
  // A FIFO is not opened to wait for a writer (a hang would end the test by the alarm instead).
  std::filesystem::remove(cylinder);
  ASSERT_EQ(::mkfifo(cylinder.c_str(), 0644), 0);
  ::alarm(20);
  EXPECT_FALSE(files.load(error));
  ::alarm(0);
  EXPECT_NE(error.find(cylinder), std::string::npos) << error;
  EXPECT_NE(error.find("a FIFO"), std::string::npos) << error;
}

TEST(ShaderFilesJoin, AFileWithoutItsLastNewlineGoesOnTheSameLine) {
  ScratchFolder folder("shader_join");
  folder.write("a.hlsl", "a1\na2");
  folder.write("b.hlsl", "b1\nb2\n");
  ShaderFiles files(folder.path(), {"a.hlsl", "b.hlsl"});
  std::string error;
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_EQ(files.text(), "a1\na2b1\nb2\n");
  ASSERT_EQ(files.parts().size(), 2u);
  EXPECT_EQ(files.parts()[1].firstLine, lineOf(files.text(), "b1"));
  // The shared line is said in the file it starts in; b's next line is its own.
  EXPECT_EQ(files.mapMessage("intro.hlsl:2: error"), located(folder.file("a.hlsl"), 2) + ": error");
  EXPECT_EQ(files.mapMessage("intro.hlsl:3: error"), located(folder.file("b.hlsl"), 2) + ": error");
}

// Three small files whose lines name themselves ("b3" is line 3 of b.hlsl).
class ShaderMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("a.hlsl", "a1\na2\na3\n");
    folder.write("b.hlsl", "b1\nb2\nb3\nb4\n");
    folder.write("c.hlsl", "c1\nc2\n");
    std::string error;
    ASSERT_TRUE(files.load(error)) << error;
  }
  // "intro.hlsl:N" of the joined line holding marker.
  std::string joined(const std::string& marker) const {
    return "intro.hlsl:" + std::to_string(lineOf(files.text(), marker));
  }
  // Where marker ("b3") is in its own file.
  std::string local(const std::string& marker) const {
    const std::string name = marker.substr(0, 1) + ".hlsl";
    return located(folder.file(name), lineOf(folder.read(name), marker));
  }

  ScratchFolder folder{"shader_messages"};
  ShaderFiles files{folder.path(), {"a.hlsl", "b.hlsl", "c.hlsl"}};
};

TEST_F(ShaderMessages, EachLocationIsSaidInItsFile) {
  // First line of the first file, last line of a file, a line of the middle file, first line of
  // a later file, last line of the last file.
  for (const std::string marker : {"a1", "a3", "b3", "b1", "c2"}) {
    EXPECT_EQ(files.mapMessage(joined(marker) + ": error: '@' : unexpected token"),
              local(marker) + ": error: '@' : unexpected token")
        << marker;
  }
}

TEST_F(ShaderMessages, SeveralLocatedLinesAndUnlocatedOnes) {
  const std::string message = joined("a2") + ": error: 'stretch' : unknown variable\n" +
                              "Linking compute stage: nothing to say here\n" + joined("b4") +
                              ": warning: 'fooattr' : unrecognized attribute\n" + joined("c1") +
                              ": error: ')' : Expected\n" + "2 errors generated.\n";
  const std::string expected = local("a2") + ": error: 'stretch' : unknown variable\n" +
                               "Linking compute stage: nothing to say here\n" + local("b4") +
                               ": warning: 'fooattr' : unrecognized attribute\n" + local("c1") +
                               ": error: ')' : Expected\n" + "2 errors generated.\n";
  EXPECT_EQ(files.mapMessage(message), expected);
  // A message of no location at all comes back as it was.
  const std::string plain = "intro.hlsl: warning: Linking compute stage: Entry point not found\n";
  EXPECT_EQ(files.mapMessage(plain), plain);
}

TEST_F(ShaderMessages, ColumnsParenthesesAndLinesNoFileHolds) {
  // A column after the line stays with it.
  EXPECT_EQ(files.mapMessage(joined("b2") + ":7: error: x"), local("b2") + ":7: error: x");
  // glslang's closing line: "intro.hlsl: intro.hlsl(N): ..." names the file once after mapping.
  const std::string parenthesised = "intro.hlsl: intro.hlsl(" + std::to_string(lineOf(files.text(), "b2")) +
                                    "): error at column 39, HLSL parsing failed.";
  const std::string b2 = std::to_string(lineOf(folder.read("b.hlsl"), "b2"));
  EXPECT_EQ(files.mapMessage(parenthesised), folder.file("b.hlsl") + "(" + b2 + "): error at column 39, HLSL parsing failed.");
  // Line 0 and lines past the text are no file's: left alone.
  const std::size_t past = lineOf(files.text(), "c2") + 1;
  for (const std::string& message :
       {std::string("intro.hlsl:0: error: x"), "intro.hlsl:" + std::to_string(past) + ": error: x",
        std::string("intro.hlsl:: error"), std::string("intro.hlsl(3: error")}) {
    EXPECT_EQ(files.mapMessage(message), message);
  }
}

TEST(ShaderMessagesFromTheCompiler, AnErrorInTheCorridorIsSaidInItsFile) {
  ScratchFolder folder("shader_broken");
  folder.copyFrom(INTRO_SHADERS_DIR);
  std::string corridor = folder.read("z3_corridor.hlsl");
  const std::string statement = "float stretch = cos(t * 6 + e * 3.4);";
  const std::size_t at = corridor.find(statement);
  ASSERT_NE(at, std::string::npos) << "z3_corridor.hlsl no longer holds the line this test breaks";
  const std::size_t brokenLine = lineOf(corridor, statement);
  corridor.insert(at + statement.size(), " @");
  folder.saveByRename("z3_corridor.hlsl", corridor);

  ShaderFiles files(folder.path());
  std::string error;
  ASSERT_TRUE(files.load(error)) << error;
  std::vector<std::uint32_t> spirv;
  std::string message;
  ASSERT_FALSE(vk_compile::compileHlsl(files.text().data(), files.text().size(), "Z3", spirv, message));
  ASSERT_NE(message.find("intro.hlsl:" + std::to_string(files.parts()[3].firstLine + brokenLine - 1) + ":"),
            std::string::npos)
      << "the compiler's own message: " << message;

  const std::string mapped = files.mapMessage(message);
  EXPECT_EQ(mapped.find(located(folder.file("z3_corridor.hlsl"), brokenLine) + ": error:"), 0u) << mapped;
  EXPECT_EQ(mapped.find("intro.hlsl"), std::string::npos) << "every location is in the folder's files: " << mapped;
  // As many lines as the compiler said.
  EXPECT_EQ(std::count(mapped.begin(), mapped.end(), '\n'), std::count(message.begin(), message.end(), '\n'));
}

TEST(ShaderFilesChanges, SavesAreSeenUntilTheFilesAreReadAgain) {
  ScratchFolder folder("shader_changes");
  folder.write("a.hlsl", "a1\n");
  folder.write("b.hlsl", "b1\n");
  ShaderFiles files(folder.path(), {"a.hlsl", "b.hlsl"});
  std::string error;
  EXPECT_TRUE(files.changed()) << "never read: everything is new";
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_FALSE(files.changed());
  EXPECT_FALSE(files.changed()) << "asking does not forget";

  // Saved in place, longer.
  folder.write("b.hlsl", "b1\nb2\n");
  EXPECT_TRUE(files.changed());
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_FALSE(files.changed());
  EXPECT_EQ(files.text(), "a1\nb1\nb2\n");

  // Saved by rename with the same bytes count: a new file where the old was.
  folder.saveByRename("a.hlsl", "A1\n");
  EXPECT_TRUE(files.changed());
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_FALSE(files.changed());
  EXPECT_EQ(files.text(), "A1\nb1\nb2\n");

  // Removed: a change; the failed read is remembered, so it is said once, until the file is back.
  std::filesystem::remove(folder.file("a.hlsl"));
  EXPECT_TRUE(files.changed());
  EXPECT_FALSE(files.load(error));
  EXPECT_FALSE(files.changed());
  folder.write("a.hlsl", "a1\n");
  EXPECT_TRUE(files.changed());
  ASSERT_TRUE(files.load(error)) << error;
  EXPECT_EQ(files.text(), "a1\nb1\nb2\n");
}

TEST(ShaderFilesChanges, StampsTellFilesApart) {
  ScratchFolder folder("shader_stamps");
  folder.write("a.hlsl", "a\n");
  const FileStamp first = stampOf(folder.file("a.hlsl"));
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 2);
  EXPECT_EQ(stampOf(folder.file("a.hlsl")), first);
  EXPECT_FALSE(stampOf(folder.file("none.hlsl")).exists);
  folder.saveByRename("a.hlsl", "b\n");
  EXPECT_NE(stampOf(folder.file("a.hlsl")), first);

  // Made unreadable and readable again, its mode as before: only the status-change time tells.
  const std::string path = folder.file("a.hlsl");
  const FileStamp readable = stampOf(path);
  const auto mode = std::filesystem::status(path).permissions();
  awaitNextFileTime(path);
  std::filesystem::permissions(path, std::filesystem::perms::none);
  std::filesystem::permissions(path, mode);
  EXPECT_NE(stampOf(path), readable);
}

}  // namespace
