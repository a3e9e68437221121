// The display options store against real files in the prefix's
// C:\ProgramData\Kestrova.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "DisplayOptions.h"

namespace {

const DisplayOption kAllOptions[] = {DisplayOption::ShowAxis, DisplayOption::ShowComment,
                                     DisplayOption::ShowType};

std::string CommonDataFolder() {
  char folder[MAX_PATH * 2] = {};
  EXPECT_TRUE(GetCommonDataFolder(folder, sizeof folder));
  return folder;
}

std::string SettingsFolder() { return CommonDataFolder() + "\\Kestrova"; }

std::string OptionPath(DisplayOption option) {
  return SettingsFolder() + "\\" + DisplayOptionFileName(option);
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WriteRaw(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string ReadRaw(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) bytes += static_cast<char>(c);
  std::fclose(file);
  return bytes;
}

// Every case starts with the settings folder present and no option file.
// Other files in the folder (the settings program's type lists) are left alone.
class DisplayOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureSettingsFolder());
    RemoveOptionFiles();
  }
  void TearDown() override { RemoveOptionFiles(); }

  static void RemoveOptionFiles() {
    for (DisplayOption option : kAllOptions) {
      const std::string path = OptionPath(option);
      RemoveDirectoryA(path.c_str());  // left behind by the write-failure case
      DeleteFileA(path.c_str());
    }
  }
};

TEST_F(DisplayOptionsTest, FolderAndFileNames) {
  EXPECT_STREQ(DisplayOptionFileName(DisplayOption::ShowAxis), "Vantrel_ShowAxis.txt");
  EXPECT_STREQ(DisplayOptionFileName(DisplayOption::ShowComment), "Vantrel_ShowComment.txt");
  EXPECT_STREQ(DisplayOptionFileName(DisplayOption::ShowType), "Vantrel_ShowType.txt");

  const std::string folder = CommonDataFolder();
  EXPECT_STREQ(folder.c_str(), "C:\\ProgramData");

  char path[272];
  ASSERT_TRUE(GetSettingsFilePath("Vantrel_ShowAxis.txt", path, sizeof path));
  EXPECT_STREQ(path, "C:\\ProgramData\\Kestrova\\Vantrel_ShowAxis.txt");
}

TEST_F(DisplayOptionsTest, PathThatDoesNotFitIsRefusedNotTruncated) {
  const std::string expected = "C:\\ProgramData\\Kestrova\\Vantrel_ShowType.txt";
  char path[272];
  // Exactly one byte short for the terminator: refused, nothing half-written.
  EXPECT_FALSE(GetSettingsFilePath("Vantrel_ShowType.txt", path, expected.size()));
  EXPECT_STREQ(path, "");
  EXPECT_TRUE(GetSettingsFilePath("Vantrel_ShowType.txt", path, expected.size() + 1));
  EXPECT_EQ(path, expected);

  // A name that would run past the option files' 272 bytes.
  const std::string longName(260, 'a');
  EXPECT_FALSE(GetSettingsFilePath(longName.c_str(), path, sizeof path));
  EXPECT_STREQ(path, "");

  char folder[15];  // "C:\ProgramData" needs 15 bytes with its terminator
  EXPECT_TRUE(GetCommonDataFolder(folder, sizeof folder));
  EXPECT_FALSE(GetCommonDataFolder(folder, sizeof folder - 1));
  EXPECT_STREQ(folder, "");
}

TEST_F(DisplayOptionsTest, NoFilesMeansAllOff) {
  for (DisplayOption option : kAllOptions) EXPECT_FALSE(ReadDisplayOption(option));
}

TEST_F(DisplayOptionsTest, WriteStoresExactlyOneByte) {
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowAxis, true));
  EXPECT_EQ(ReadRaw(OptionPath(DisplayOption::ShowAxis)), "1");
  EXPECT_TRUE(ReadDisplayOption(DisplayOption::ShowAxis));

  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowAxis, false));
  EXPECT_EQ(ReadRaw(OptionPath(DisplayOption::ShowAxis)), "0");
  EXPECT_FALSE(ReadDisplayOption(DisplayOption::ShowAxis));
}

TEST_F(DisplayOptionsTest, EachOptionHasItsOwnFile) {
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowComment, true));
  EXPECT_FALSE(ReadDisplayOption(DisplayOption::ShowAxis));
  EXPECT_TRUE(ReadDisplayOption(DisplayOption::ShowComment));
  EXPECT_FALSE(ReadDisplayOption(DisplayOption::ShowType));
  EXPECT_EQ(ReadRaw(OptionPath(DisplayOption::ShowAxis)), "<missing>");
  EXPECT_EQ(ReadRaw(OptionPath(DisplayOption::ShowType)), "<missing>");
}

TEST_F(DisplayOptionsTest, OnlyAFirstByteOneMeansOn) {
  const std::string path = OptionPath(DisplayOption::ShowType);
  const struct {
    const char* content;
    bool on;
  } cases[] = {{"1", true},   {"1\r\n", true}, {"10", true}, {"1 anything", true},
               {"0", false},  {" 1", false},   {"", false},  {"x1", false},
               {"\n1", false}, {"true", false}};
  for (const auto& c : cases) {
    WriteRaw(path, c.content);
    EXPECT_EQ(ReadDisplayOption(DisplayOption::ShowType), c.on) << '"' << c.content << '"';
  }
}

TEST_F(DisplayOptionsTest, WriteFailureIsReported) {
  // A folder where the file should be: neither "wt" nor "at" can open it.
  const std::string path = OptionPath(DisplayOption::ShowType);
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  EXPECT_FALSE(WriteDisplayOption(DisplayOption::ShowType, true));
  EXPECT_FALSE(ReadDisplayOption(DisplayOption::ShowType));
}

// The settings folder may hold other files, so it is moved aside rather than
// deleted, and put back afterwards.
class MissingSettingsFolderTest : public DisplayOptionsTest {
 protected:
  void SetUp() override {
    DisplayOptionsTest::SetUp();
    saved_ = SettingsFolder() + ".moved-by-test";
    ASSERT_TRUE(MoveFileA(SettingsFolder().c_str(), saved_.c_str()));
    ASSERT_FALSE(DirectoryExists(SettingsFolder()));
  }
  void TearDown() override {
    RemoveOptionFiles();
    RemoveDirectoryA(SettingsFolder().c_str());
    EXPECT_TRUE(MoveFileA(saved_.c_str(), SettingsFolder().c_str()));
  }
  std::string saved_;
};

TEST_F(MissingSettingsFolderTest, ReadsAreOff) {
  for (DisplayOption option : kAllOptions) EXPECT_FALSE(ReadDisplayOption(option));
  EXPECT_FALSE(DirectoryExists(SettingsFolder())) << "reading must not create the folder";
}

TEST_F(MissingSettingsFolderTest, WriteCreatesTheFolder) {
  ASSERT_TRUE(WriteDisplayOption(DisplayOption::ShowComment, true));
  EXPECT_TRUE(DirectoryExists(SettingsFolder()));
  EXPECT_EQ(ReadRaw(OptionPath(DisplayOption::ShowComment)), "1");
  EXPECT_TRUE(ReadDisplayOption(DisplayOption::ShowComment));
}

TEST_F(MissingSettingsFolderTest, EnsureSettingsFolderCreatesItOnce) {
  EXPECT_TRUE(EnsureSettingsFolder());
  EXPECT_TRUE(DirectoryExists(SettingsFolder()));
  EXPECT_TRUE(EnsureSettingsFolder());
}

// The shell takes the common application-data folder from this registry
// value, so a test can move it to a deep folder for a while.
constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class DeepCommonDataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD size = sizeof saved_;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common AppData",
                           RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &savedType_,
                           saved_, &size),
              ERROR_SUCCESS);
    // 253 characters: a legal folder, but no option file path below it fits 272 bytes.
    deepFolder_ = "C:\\" + std::string(250, 'd');
    CreateDirectoryA(deepFolder_.c_str(), nullptr);
    const std::wstring wide(deepFolder_.begin(), deepFolder_.end());
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common AppData", REG_SZ,
                              wide.c_str(), static_cast<DWORD>((wide.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kShellFoldersKey, L"Common AppData", savedType_, saved_,
                    static_cast<DWORD>((wcslen(saved_) + 1) * 2));
    RemoveDirectoryA(deepFolder_.c_str());
    EXPECT_EQ(CommonDataFolder(), "C:\\ProgramData");
  }
  wchar_t saved_[MAX_PATH] = {};
  DWORD savedType_ = 0;
  std::string deepFolder_;
};

TEST_F(DeepCommonDataFolderTest, OptionPathTooLongIsRefused) {
  ASSERT_EQ(CommonDataFolder(), deepFolder_);
  EXPECT_FALSE(WriteDisplayOption(DisplayOption::ShowComment, true));
  EXPECT_FALSE(ReadDisplayOption(DisplayOption::ShowComment));
  // Nothing was created under the deep folder, not even a shortened name.
  EXPECT_TRUE(RemoveDirectoryA(deepFolder_.c_str())) << "the deep folder should be empty";
}

}  // namespace
