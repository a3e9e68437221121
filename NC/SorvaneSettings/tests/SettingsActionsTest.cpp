// The dialog's actions with a recording view in place of the window: the
// messages in their order and style, the list boxes' contents, and what
// lands in the registry and the files.
#include "SettingsActions.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "SettingsTestSupport.h"

namespace {

class RecordedListBox final : public TypeListBox {
 public:
  void ResetContent() override { entries.clear(); }
  void AddString(const std::wstring& text) override { entries.push_back(text); }
  int GetCurSel() const override { return selection; }
  std::wstring GetText(int index) const override { return entries.at(static_cast<size_t>(index)); }
  void Select(const std::wstring& text) {
    const auto at = std::find(entries.begin(), entries.end(), text);
    selection = at == entries.end() ? -1 : static_cast<int>(at - entries.begin());
  }

  std::vector<std::wstring> entries;
  int selection = -1;
};

class RecordingView final : public SettingsView {
 public:
  void ShowMessage(const std::wstring& text, UINT style) override { messages.emplace_back(text, style); }
  TypeListBox& GetTypeListBox(TypeList list) override {
    return list == TypeList::Thumbnail ? thumbnail : preview;
  }

  std::vector<std::pair<std::wstring, UINT>> messages;
  RecordedListBox thumbnail;
  RecordedListBox preview;
};

using Messages = std::vector<std::pair<std::wstring, UINT>>;
using Entries = std::vector<std::wstring>;


using AddFileTypeTest = CleanSettingsTest;
using RemoveSelectedTypeTest = CleanSettingsTest;
using FillTypeListsTest = CleanSettingsTest;
using DisplayOptionWriteTest = CleanSettingsTest;

}  // namespace

TEST_F(AddFileTypeTest, NewTypeGoesToBothHandlersListsAndBoxes) {
  RecordingView view;
  AddFileType(view, L".nc");
  EXPECT_EQ(view.messages,
            (Messages{{L"File type '.nc' added to Thumbnail and Preview provider", MB_ICONINFORMATION}}));
  ExpectAssociatedWithBothHandlers(L".nc");
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(PreviewFile(), ".nc");
  EXPECT_EQ(view.thumbnail.entries, Entries{L".nc"});
  EXPECT_EQ(view.preview.entries, Entries{L".nc"});
}

TEST_F(AddFileTypeTest, SameTypeAgainIsReportedTwiceWithoutSuccess) {
  RecordingView view;
  AddFileType(view, L".nc");
  view.messages.clear();
  DeleteHandlerKeys(L".nc");
  AddFileType(view, L".nc");
  EXPECT_EQ(view.messages, (Messages{{L"The file type is already in the list", MB_OK},
                                     {L"The file type is already in the list", MB_OK}}));
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(PreviewFile(), ".nc");
  // Both keys were written again.
  EXPECT_TRUE(KeyExists(std::wstring(L".nc") + kThumbnailHandlerKey));
  EXPECT_TRUE(KeyExists(std::wstring(L".nc") + kPreviewHandlerKey));
}

TEST_F(AddFileTypeTest, RefusedTextsShowOneMessageAndWriteNothing) {
  const std::wstring kNeedsDot = L"Type needs to start with a dot";
  const std::wstring kDotAndCharacter =
      L"Type string needs to contain one dot and at least on character";
  const std::wstring kMoreDots = L"More then one dot in file type.";
  const std::wstring kBadCharacter = L"File type contains a non supported character";
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"nc", kNeedsDot},
      {L"ab.c", kNeedsDot},
      {L".", kDotAndCharacter},
      {L"", kDotAndCharacter},
      {L"x", kDotAndCharacter},
      {L".n.c", kMoreDots},
      {L"..", kMoreDots},
      {L".n c", kBadCharacter},
      {L".n-c", kBadCharacter},
      {L".n;c", kBadCharacter},
      // Not representable in 8-bit characters: the text counts as empty.
      {L".\x4E2D\x6587", kDotAndCharacter},
      // Representable, but not a letter or digit of ASCII.
      {L".n\x00E9", kBadCharacter},
      // Longer than a registry key name can hold.
      {L"." + std::wstring(255, L'a'), kDotAndCharacter},
  };
  for (const auto& [text, message] : cases) {
    RecordingView view;
    AddFileType(view, text);
    EXPECT_EQ(view.messages, (Messages{{message, MB_OK}})) << "text of " << text.size() << " characters";
    EXPECT_TRUE(view.thumbnail.entries.empty());
  }
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_EQ(PreviewFile(), "");
  EXPECT_FALSE(KeyExists(L"ab.c"));
  EXPECT_FALSE(KeyExists(L"nc\\shellex"));
}

TEST_F(AddFileTypeTest, LongestTypeIsAdded) {
  const std::wstring type = L"." + std::wstring(254, L'k');
  RecordingView view;
  AddFileType(view, type);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first, L"File type '" + type + L"' added to Thumbnail and Preview provider");
  EXPECT_EQ(view.thumbnail.entries, Entries{type});
  EXPECT_EQ(ThumbnailFile(), std::string(type.begin(), type.end()));
  DeleteKeyTree(type);
}

TEST_F(AddFileTypeTest, MissingThumbnailListStillAddsToPreview) {
  DeleteFileA(SettingsFilePath(kThumbnailListFile).c_str());
  RecordingView view;
  AddFileType(view, L".x");
  EXPECT_EQ(view.messages, (Messages{{L"Unable to read settings file", MB_OK},
                                     {L"File type '.x' added to Preview provider", MB_ICONINFORMATION}}));
  EXPECT_FALSE(KeyExists(std::wstring(L".x") + kThumbnailHandlerKey));
  EXPECT_EQ(PreviewFile(), ".x");
  EXPECT_EQ(view.preview.entries, Entries{L".x"});
}

TEST_F(AddFileTypeTest, MissingPreviewListReportsThumbnailAlone) {
  DeleteFileA(SettingsFilePath(kPreviewListFile).c_str());
  RecordingView view;
  AddFileType(view, L".x");
  EXPECT_EQ(view.messages, (Messages{{L"Unable to read settings file", MB_OK},
                                     {L"File type '.x' added to Thumbnail provider", MB_ICONINFORMATION}}));
}

TEST_F(AddFileTypeTest, UnwritableListNamesItsPath) {
  const std::string path = SettingsFilePath(kPreviewListFile);
  RecordingView view;
  {
    const FileWriteLock lock(path);
    ASSERT_TRUE(lock.locked());
    AddFileType(view, L".x");
  }
  const std::wstring widePath(path.begin(), path.end());
  EXPECT_EQ(view.messages,
            (Messages{{L"Can't write to settingsfil. Try to run Kestrova Settings as Administrator\n" + widePath,
                       MB_OK},
                      {L"File type '.x' added to Thumbnail provider", MB_ICONINFORMATION}}));
  EXPECT_EQ(PreviewFile(), "");
  EXPECT_TRUE(KeyExists(std::wstring(L".x") + kPreviewHandlerKey));
}

TEST_F(AddFileTypeTest, UnwritableRegistryGivesEachListItsMessage) {
  // A key that exists but refuses new values, for either handler.
  WriteDefaultValue(std::wstring(L".zz") + kThumbnailHandlerKey, kProviderClass);
  WriteDefaultValue(std::wstring(L".zz") + kPreviewHandlerKey, kPreviewClass);
  RecordingView view;
  {
    const KeyAccessDenial thumbnail(std::wstring(L".zz") + kThumbnailHandlerKey, KEY_SET_VALUE);
    const KeyAccessDenial preview(std::wstring(L".zz") + kPreviewHandlerKey, KEY_SET_VALUE);
    ASSERT_TRUE(thumbnail.applied() && preview.applied());
    AddFileType(view, L".zz");
  }
  EXPECT_EQ(view.messages,
            (Messages{{L"The file type is already registered in the registry", MB_OK},
                      {L"The file type is already registered in the Windows registry", MB_OK}}));
  EXPECT_EQ(ThumbnailFile(), "");

  // And handler keys without a value that refuse new values: the
  // association can be neither written nor found.
  view.messages.clear();
  for (const wchar_t* handler : {kThumbnailHandlerKey, kPreviewHandlerKey}) {
    const std::wstring key = std::wstring(L".zz") + handler;
    ASSERT_EQ(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr), ERROR_SUCCESS);
  }
  {
    const KeyAccessDenial thumbnail(std::wstring(L".zz") + kThumbnailHandlerKey, KEY_SET_VALUE);
    const KeyAccessDenial preview(std::wstring(L".zz") + kPreviewHandlerKey, KEY_SET_VALUE);
    ASSERT_TRUE(thumbnail.applied() && preview.applied());
    AddFileType(view, L".zz");
  }
  const std::wstring cannotCreate =
      L"Can't registrate file type. Cant create regestry key. Try to run 'Kestrova Settings' as "
      L"Administrator";
  EXPECT_EQ(view.messages, (Messages{{cannotCreate, MB_OK}, {cannotCreate, MB_OK}}));
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_EQ(PreviewFile(), "");
  DeleteKeyTree(L".zz");
}

TEST_F(AddFileTypeTest, ReportQuotesTheTypedTextAsTyped) {
  RecordingView view;
  AddFileType(view, L".Tap");
  EXPECT_EQ(view.messages,
            (Messages{{L"File type '.Tap' added to Thumbnail and Preview provider", MB_ICONINFORMATION}}));
  EXPECT_EQ(ThumbnailFile(), ".Tap");
  DeleteHandlerKeys(L".Tap");
}

TEST_F(FillTypeListsTest, BoxesShowNonEmptyEntriesOfBothFiles) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".tap;;.nc;");
  WriteFileBytes(SettingsFilePath(kPreviewListFile), ".x");
  RecordingView view;
  view.thumbnail.entries = {L"stale"};
  FillTypeLists(view);
  // The box sorts by itself; here the order of the file shows.
  EXPECT_EQ(view.thumbnail.entries, (Entries{L".tap", L".nc"}));
  EXPECT_EQ(view.preview.entries, Entries{L".x"});
  DeleteFileA(SettingsFilePath(kPreviewListFile).c_str());
  FillTypeLists(view);
  EXPECT_TRUE(view.preview.entries.empty());
}

TEST_F(RemoveSelectedTypeTest, NothingSelectedAsksForASelection) {
  RecordingView view;
  AddFileType(view, L".nc");
  view.messages.clear();
  RemoveSelectedType(view, TypeList::Thumbnail);
  EXPECT_EQ(view.messages, (Messages{{L"Select a file type to remove.", MB_OK}}));
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_TRUE(KeyExists(std::wstring(L".nc") + kThumbnailHandlerKey));
}

TEST_F(RemoveSelectedTypeTest, SelectedTypeLeavesOneListSilently) {
  RecordingView view;
  AddFileType(view, L".nc");
  AddFileType(view, L".tap");
  view.messages.clear();
  view.thumbnail.Select(L".nc");
  RemoveSelectedType(view, TypeList::Thumbnail);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(ThumbnailFile(), ".tap");
  EXPECT_EQ(view.thumbnail.entries, Entries{L".tap"});
  EXPECT_FALSE(KeyExists(std::wstring(L".nc") + kThumbnailHandlerKey));
  // The preview list keeps the type and its association.
  EXPECT_EQ(PreviewFile(), ".nc;.tap");
  EXPECT_EQ(view.preview.entries, (Entries{L".nc", L".tap"}));
  EXPECT_TRUE(KeyExists(std::wstring(L".nc") + kPreviewHandlerKey));
}

TEST_F(RemoveSelectedTypeTest, SelectionChangedOutsideTheDialog) {
  RecordingView view;
  AddFileType(view, L".x");
  view.messages.clear();
  view.thumbnail.Select(L".x");
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".tap");
  RemoveSelectedType(view, TypeList::Thumbnail);
  EXPECT_EQ(view.messages, (Messages{{L"Can't remove file type.", MB_OK}}));
  EXPECT_EQ(ThumbnailFile(), ".tap");
  // The boxes are refilled after every attempt.
  EXPECT_EQ(view.thumbnail.entries, Entries{L".tap"});
}

TEST_F(DisplayOptionWriteTest, BoxStateBecomesOneByteFile) {
  const std::string path = SettingsFilePath("Vantrel_ShowComment.txt");
  WriteOptionFromCheckState(DisplayOption::ShowComment, BST_CHECKED);
  EXPECT_EQ(ReadFileBytes(path), "1");
  EXPECT_TRUE(ReadDisplayOption(DisplayOption::ShowComment));
  WriteOptionFromCheckState(DisplayOption::ShowComment, BST_UNCHECKED);
  EXPECT_EQ(ReadFileBytes(path), "0");
  // Any state above 0 counts as set.
  WriteOptionFromCheckState(DisplayOption::ShowComment, BST_INDETERMINATE);
  EXPECT_EQ(ReadFileBytes(path), "1");
  WriteOptionFromCheckState(DisplayOption::ShowAxis, BST_CHECKED);
  WriteOptionFromCheckState(DisplayOption::ShowType, BST_CHECKED);
  EXPECT_EQ(ReadFileBytes(SettingsFilePath("Vantrel_ShowAxis.txt")), "1");
  EXPECT_EQ(ReadFileBytes(SettingsFilePath("Vantrel_ShowType.txt")), "1");
}

TEST_F(AddFileTypeTest, FirstAdditionOnAFreshMachine) {
  RemoveSettingsFolder();
  PrepareSettingsFolder();
  RecordingView view;
  AddFileType(view, L".nc");
  EXPECT_EQ(view.messages,
            (Messages{{L"File type '.nc' added to Thumbnail and Preview provider", MB_ICONINFORMATION}}));
  EXPECT_EQ(ThumbnailFile(), ".nc");
}
