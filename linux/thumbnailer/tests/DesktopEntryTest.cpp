// The desktop's side: the thumbnailer entry runs the program as a file
// manager would, and the MIME package compiles.
#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"

namespace {

std::string EntryValue(const std::string& entry, const std::string& key) {
  std::istringstream lines(entry);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

TEST(DesktopEntry, FileManagerCallOfTheThumbnailerEntry) {
  const std::string entry = ReadFile(VANTREL_THUMBNAILER_DIR "/vantrel.thumbnailer");
  ASSERT_EQ(entry.rfind("[Thumbnailer Entry]\n", 0), 0u);
  EXPECT_EQ(EntryValue(entry, "Exec"), "vantrel-thumbnailer -s %s %i %o");
  const std::string types = EntryValue(entry, "MimeType");
  EXPECT_NE(types.find("text/x-nc-program;"), std::string::npos);
  EXPECT_NE(types.find("text/x-gcode;"), std::string::npos);
  EXPECT_NE(types.find("text/ngc;"), std::string::npos);

  // The file manager fills in the size, the input and the output.
  ScratchFolder work;
  const std::string input = work.Write("part.nc", "G1 X0 Y0\nG1 X10 Y10\n");
  std::vector<std::string> args;
  for (const std::string& word : Words(EntryValue(entry, "Exec"))) {
    if (word == "%s") args.push_back("256");
    else if (word == "%i") args.push_back(input);
    else if (word == "%o") args.push_back(work / "thumbnail.png");
    else if (word != "vantrel-thumbnailer") args.push_back(word);
  }
  const RunResult result = RunThumbnailer(work, args, {{"XDG_CONFIG_HOME", work.Path()}});
  ASSERT_EQ(result.status, 0) << result.err;
  const Picture picture = ReadPng(work / "thumbnail.png");
  EXPECT_EQ(picture.width, 256);
  EXPECT_EQ(picture.height, 256);
}

// The package compiles with the desktop's MIME tool, and each glob of ours
// weighs less than the other owner's; which files it claims is checked
// with the desktop's own tools by scripts/test-desktop.sh.
TEST(DesktopEntry, MimePackageCompilesWithLightGlobs) {
  if (system("command -v update-mime-database >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "update-mime-database is not installed";
  }
  ScratchFolder mime;
  mkdir((mime / "packages").c_str(), 0755);
  mime.Write("packages/vantrel-nc-programs.xml",
             ReadFile(VANTREL_THUMBNAILER_DIR "/vantrel-nc-programs.xml"));
  const std::string command = "update-mime-database '" + mime.Path() + "' >/dev/null 2>&1";
  ASSERT_EQ(system(command.c_str()), 0);

  const std::string globs = ReadFile(mime / "globs2");
  for (const char* glob : {":*.nc\n", ":*.ngc\n", ":*.tap\n", ":*.mpf\n", ":*.h\n"}) {
    EXPECT_NE(globs.find(std::string("40:text/x-nc-program") + glob), std::string::npos) << glob;
  }
  EXPECT_EQ(globs.find(":*.iso\n"), std::string::npos);
  EXPECT_NE(ReadFile(mime / "subclasses").find("text/x-nc-program text/plain"),
            std::string::npos);
}
