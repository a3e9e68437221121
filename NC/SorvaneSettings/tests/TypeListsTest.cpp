// The type lists against real files in the prefix's settings folder and the
// real registry of the prefix.
#include "TypeLists.h"

#include <windows.h>

#include <string>

#include "SettingsTestSupport.h"

namespace {


std::wstring ThumbnailKeyValue(const std::wstring& type) {
  std::wstring value;
  return ReadDefaultValue(type + kThumbnailHandlerKey, value) ? value : L"<missing>";
}

std::wstring PreviewKeyValue(const std::wstring& type) {
  std::wstring value;
  return ReadDefaultValue(type + kPreviewHandlerKey, value) ? value : L"<missing>";
}

std::string Refusal(const std::string& type) {
  std::wstring message;
  if (ValidateFileType(type, message)) return "passes";
  return std::string(message.begin(), message.end());
}

using TypeListFileTest = CleanSettingsTest;
using TypeListRegistryTest = CleanSettingsTest;
using TypeListRemovalTest = CleanSettingsTest;

}  // namespace

TEST(ValidateFileTypeTest, AcceptsOneLeadingDotWithLettersAndDigits) {
  EXPECT_EQ(Refusal(".nc"), "passes");
  EXPECT_EQ(Refusal(".NC1"), "passes");
  EXPECT_EQ(Refusal(".h264"), "passes");
}

TEST(ValidateFileTypeTest, RefusesWithTheMessageOfTheFault) {
  EXPECT_EQ(Refusal("nc"), "Type needs to start with a dot");
  EXPECT_EQ(Refusal(".n.c"), "More then one dot in file type.");
  EXPECT_EQ(Refusal(".."), "More then one dot in file type.");
  EXPECT_EQ(Refusal(".n c"), "File type contains a non supported character");
  EXPECT_EQ(Refusal(".n-c"), "File type contains a non supported character");
  EXPECT_EQ(Refusal(".n\xE9"), "File type contains a non supported character");
  // A bad character ends the check before the dots are counted.
  EXPECT_EQ(Refusal("a-b"), "File type contains a non supported character");
}

TEST(ValidateFileTypeTest, RefusesOneDotThatIsNotTheFirstByte) {
  // Such a text used to pass and then vanish without a word.
  EXPECT_EQ(Refusal("ab.c"), "Type needs to start with a dot");
  EXPECT_EQ(Refusal("nc."), "Type needs to start with a dot");
}

TEST_F(TypeListFileTest, EntriesAreSeparatedBySemicolonsInOrderOfAddition) {
  ASSERT_TRUE(WriteTypeList(TypeList::Thumbnail, ".nc;.tap"));
  EXPECT_EQ(ThumbnailFile(), ".nc;.tap");
  EXPECT_EQ(CountTypeListEntries(TypeList::Thumbnail), 2);
  std::string entry;
  ASSERT_TRUE(GetTypeListEntry(TypeList::Thumbnail, 0, entry));
  EXPECT_EQ(entry, ".nc");
  ASSERT_TRUE(GetTypeListEntry(TypeList::Thumbnail, 1, entry));
  EXPECT_EQ(entry, ".tap");
  EXPECT_FALSE(GetTypeListEntry(TypeList::Thumbnail, 2, entry));
  EXPECT_FALSE(GetTypeListEntry(TypeList::Thumbnail, -1, entry));
  // The other list has its own file.
  EXPECT_EQ(CountTypeListEntries(TypeList::Preview), 0);
}

TEST_F(TypeListFileTest, EmptyPiecesCountButAreNoEntries) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ";.a;;.b;");
  EXPECT_EQ(CountTypeListEntries(TypeList::Thumbnail), 5);
  std::string entry;
  EXPECT_FALSE(GetTypeListEntry(TypeList::Thumbnail, 0, entry));
  EXPECT_TRUE(GetTypeListEntry(TypeList::Thumbnail, 1, entry));
  EXPECT_EQ(entry, ".a");
  EXPECT_FALSE(GetTypeListEntry(TypeList::Thumbnail, 2, entry));
  EXPECT_TRUE(GetTypeListEntry(TypeList::Thumbnail, 3, entry));
  EXPECT_EQ(entry, ".b");
  EXPECT_FALSE(GetTypeListEntry(TypeList::Thumbnail, 4, entry));
}

TEST_F(TypeListFileTest, MissingFileReadsAsEmptyListButFails) {
  DeleteFileA(SettingsFilePath(kPreviewListFile).c_str());
  std::string text = "stale";
  EXPECT_FALSE(ReadTypeList(TypeList::Preview, text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(CountTypeListEntries(TypeList::Preview), 0);
  std::string entry;
  EXPECT_FALSE(GetTypeListEntry(TypeList::Preview, 0, entry));
}

TEST_F(TypeListFileTest, ListsOfAnyLengthAreReadAndExtendedWhole) {
  // Far beyond the 255 and 512 bytes that fixed buffers once allowed.
  std::string text;
  for (int i = 0; i < 300; ++i) text += (i ? ";.t" : ".t") + std::to_string(i);
  ASSERT_GT(text.size(), 1500u);
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), text);

  std::string read;
  ASSERT_TRUE(ReadTypeList(TypeList::Thumbnail, read));
  EXPECT_EQ(read, text);
  EXPECT_EQ(CountTypeListEntries(TypeList::Thumbnail), 300);
  std::string entry;
  ASSERT_TRUE(GetTypeListEntry(TypeList::Thumbnail, 299, entry));
  EXPECT_EQ(entry, ".t299");

  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".zz"), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), text + ";.zz");
  // The duplicate check sees entries at the far end of a long list too.
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".zz"), kAlreadyListed);
  DeleteHandlerKeys(L".t150");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".t150"));
  EXPECT_EQ(CountTypeListEntries(TypeList::Thumbnail), 300);
  EXPECT_EQ(ThumbnailFile().find(";.t150;"), std::string::npos);
}

TEST_F(TypeListFileTest, StartCreatesMissingFolderAndListsEmpty) {
  RemoveSettingsFolder();
  ASSERT_FALSE(FileExists(SettingsFolderPath()));
  CreateMissingTypeLists();
  EXPECT_TRUE(FileExists(SettingsFilePath(kThumbnailListFile)));
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_EQ(PreviewFile(), "");
  // No option file comes into being before its box is changed.
  EXPECT_FALSE(FileExists(SettingsFilePath("Vantrel_ShowAxis.txt")));
}

TEST_F(TypeListFileTest, StartLeavesExistingListsUntouched) {
  const std::string thumbnailPath = SettingsFilePath(kThumbnailListFile);
  WriteFileBytes(thumbnailPath, ".tap;.nc");
  DeleteFileA(SettingsFilePath(kPreviewListFile).c_str());
  // An old time stamp shows whether the file was opened for writing.
  HANDLE file = CreateFileA(thumbnailPath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME old = {0x12345678, 0x01D00000};
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
  CloseHandle(file);

  CreateMissingTypeLists();

  EXPECT_EQ(ThumbnailFile(), ".tap;.nc");
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(thumbnailPath.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, old.dwLowDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, old.dwHighDateTime);
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(PreviewFile(), "");
}

TEST_F(TypeListRegistryTest, AdditionWritesKeyAndAppendsType) {
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(ThumbnailKeyValue(L".nc"), kProviderClass);
  EXPECT_EQ(PreviewKeyValue(L".nc"), L"<missing>");

  EXPECT_EQ(AddTypeToList(TypeList::Preview, ".nc"), kTypeAdded);
  EXPECT_EQ(PreviewFile(), ".nc");
  EXPECT_EQ(PreviewKeyValue(L".nc"), kPreviewClass);

  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".tap"), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), ".nc;.tap");
}

TEST_F(TypeListRegistryTest, ListedTypeIsReportedAndItsKeyWrittenAgain) {
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kTypeAdded);
  DeleteHandlerKeys(L".nc");
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kAlreadyListed);
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(ThumbnailKeyValue(L".nc"), kProviderClass);
}

TEST_F(TypeListRegistryTest, EntriesCompareWholeAndCaseSensitive) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".nc1");
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kTypeAdded);
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".NC"), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), ".nc1;.nc;.NC");
}

TEST_F(TypeListRegistryTest, NotATypeTouchesNothing) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".a");
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, "."), kNotAType);
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ""), kNotAType);
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, "ab.c"), kNotAType);
  EXPECT_EQ(RegisterTypeForHandler(TypeList::Thumbnail, "x"), kNotAType);
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, "." + std::string(255, 'a')), kNotAType);
  EXPECT_EQ(ThumbnailFile(), ".a");
  EXPECT_FALSE(KeyExists(L"ab.c"));
}

TEST_F(TypeListRegistryTest, LongestTypeAKeyNameHolds) {
  const std::string type = "." + std::string(254, 'q');
  const std::wstring wideType(type.begin(), type.end());
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, type), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), type);
  EXPECT_EQ(ThumbnailKeyValue(wideType), kProviderClass);
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, type));
  DeleteKeyTree(wideType);
}

TEST_F(TypeListRegistryTest, MissingListFileFailsBeforeAnythingIsWritten) {
  DeleteFileA(SettingsFilePath(kThumbnailListFile).c_str());
  EXPECT_EQ(RegisterTypeForHandler(TypeList::Thumbnail, ".x"), kListNotReadable);
  EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".x"), kListNotReadable);
  EXPECT_FALSE(KeyExists(std::wstring(L".x") + kThumbnailHandlerKey));
  EXPECT_FALSE(FileExists(SettingsFilePath(kThumbnailListFile)));
}

TEST_F(TypeListRegistryTest, RegisterWritesKeyButLeavesList) {
  EXPECT_EQ(RegisterTypeForHandler(TypeList::Preview, ".x"), kTypeAdded);
  EXPECT_EQ(PreviewKeyValue(L".x"), kPreviewClass);
  EXPECT_EQ(PreviewFile(), "");
}

TEST_F(TypeListRegistryTest, AssociationThatCanBeNeitherWrittenNorFound) {
  // The handler key is there, without a value, and refuses new values.
  const std::wstring key = std::wstring(L".zz") + kThumbnailHandlerKey;
  WriteDefaultValue(key, L"");
  ASSERT_EQ(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr), ERROR_SUCCESS);
  {
    const KeyAccessDenial denial(key, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
    ASSERT_TRUE(denial.applied());
    EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".zz"), kKeyNotCreated);
    EXPECT_EQ(ThumbnailFile(), "");
  }
  std::wstring value;
  EXPECT_FALSE(ReadDefaultValue(key, value));
  DeleteKeyTree(L".zz");
}

TEST_F(TypeListRegistryTest, KeyThatExistsButCannotBeWritten) {
  const std::wstring key = std::wstring(L".zz") + kThumbnailHandlerKey;
  WriteDefaultValue(key, L"{00000000-0000-0000-0000-000000000000}");
  {
    const KeyAccessDenial denial(key, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
    ASSERT_TRUE(denial.applied());
    EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".zz"), kAlreadyRegistered);
    EXPECT_EQ(ThumbnailFile(), "");
    // Listed, the same failure reads as "already in the list".
    WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".zz");
    EXPECT_EQ(AddTypeToList(TypeList::Thumbnail, ".zz"), kAlreadyListed);
  }
  std::wstring value;
  ASSERT_TRUE(ReadDefaultValue(key, value));
  EXPECT_EQ(value, L"{00000000-0000-0000-0000-000000000000}");
  DeleteKeyTree(L".zz");
}

TEST_F(TypeListRemovalTest, RemovalDeletesKeyAndKeepsOtherEntries) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".nc1");
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kTypeAdded);
  ASSERT_EQ(AddTypeToList(TypeList::Preview, ".nc"), kTypeAdded);
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".nc"));
  EXPECT_EQ(ThumbnailFile(), ".nc1");
  EXPECT_FALSE(KeyExists(std::wstring(L".nc") + kThumbnailHandlerKey));
  // The extension's own key and the other handler's key stay.
  EXPECT_TRUE(KeyExists(L".nc\\shellex"));
  EXPECT_EQ(PreviewKeyValue(L".nc"), kPreviewClass);
  EXPECT_EQ(PreviewFile(), ".nc");
}

TEST_F(TypeListRemovalTest, KeyNamingAnotherClassStaysAndTheTypeLeavesTheList) {
  // Another product took the type over since, or wrote the list itself.
  const std::wstring other = L"{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}";
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".ngc;.x");
  WriteFileBytes(SettingsFilePath(kPreviewListFile), ".ngc");
  WriteDefaultValue(std::wstring(L".ngc") + kThumbnailHandlerKey, other);
  WriteDefaultValue(std::wstring(L".ngc") + kPreviewHandlerKey, other);
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".ngc"));
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Preview, ".ngc"));
  EXPECT_EQ(ThumbnailFile(), ".x");
  EXPECT_EQ(PreviewFile(), "");
  EXPECT_EQ(ThumbnailKeyValue(L".ngc"), other);
  EXPECT_EQ(PreviewKeyValue(L".ngc"), other);
  DeleteHandlerKeys(L".ngc");
}

TEST_F(TypeListRemovalTest, RemovingLastEntryLeavesEmptyFile) {
  ASSERT_EQ(AddTypeToList(TypeList::Preview, ".x"), kTypeAdded);
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Preview, ".x"));
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(PreviewFile(), "");
  ASSERT_EQ(AddTypeToList(TypeList::Preview, ".tap"), kTypeAdded);
  EXPECT_EQ(PreviewFile(), ".tap");  // no separator before the first entry
}

TEST_F(TypeListRemovalTest, KeyAlreadyGoneCountsAsDeleted) {
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".tap"), kTypeAdded);
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".x"), kTypeAdded);
  DeleteHandlerKeys(L".tap");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".tap"));
  EXPECT_EQ(ThumbnailFile(), ".x");
}

TEST_F(TypeListRemovalTest, FailedKeyDeletionLeavesListAsItWas) {
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".x"), kTypeAdded);
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".tap"), kTypeAdded);
  const std::wstring key = std::wstring(L".x") + kThumbnailHandlerKey;
  {
    const KeyAccessDenial denial(key, KEY_READ | DELETE);
    ASSERT_TRUE(denial.applied());
    EXPECT_FALSE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
    EXPECT_EQ(ThumbnailFile(), ".x;.tap");
  }
  EXPECT_EQ(ThumbnailKeyValue(L".x"), kProviderClass);
  // Once the key can go, the same removal succeeds.
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
  EXPECT_EQ(ThumbnailFile(), ".tap");
}

TEST_F(TypeListRemovalTest, FailedListWriteKeepsTypeListedForAnotherTry) {
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".x"), kTypeAdded);
  {
    const FileWriteLock lock(SettingsFilePath(kThumbnailListFile));
    ASSERT_TRUE(lock.locked());
    EXPECT_FALSE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
  }
  EXPECT_EQ(ThumbnailFile(), ".x");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
  EXPECT_EQ(ThumbnailFile(), "");
}

TEST_F(TypeListRemovalTest, TypeNotInListIsNotRemoved) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".a;;.b");
  WriteDefaultValue(std::wstring(L".x") + kThumbnailHandlerKey, kProviderClass);
  EXPECT_FALSE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
  EXPECT_EQ(ThumbnailFile(), ".a;;.b");
  // An association the list does not hold is not the program's to delete.
  EXPECT_EQ(ThumbnailKeyValue(L".x"), kProviderClass);
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), "");
  EXPECT_FALSE(RemoveTypeFromList(TypeList::Thumbnail, ".a"));
  EXPECT_EQ(ThumbnailFile(), "");
}

TEST_F(TypeListRemovalTest, RemovalDropsEmptyPieces) {
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ";.a;;.x;");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".x"));
  EXPECT_EQ(ThumbnailFile(), ".a");
}

TEST_F(TypeListRemovalTest, CaseVariantsShareOneKey) {
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".nc"), kTypeAdded);
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".NC"), kTypeAdded);
  EXPECT_EQ(ThumbnailFile(), ".nc;.NC");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".nc"));
  // Registry key names ignore case: the shared association is gone, while
  // ".NC" stays listed and can still be removed.
  EXPECT_FALSE(KeyExists(std::wstring(L".NC") + kThumbnailHandlerKey));
  EXPECT_EQ(ThumbnailFile(), ".NC");
  EXPECT_TRUE(RemoveTypeFromList(TypeList::Thumbnail, ".NC"));
  EXPECT_EQ(ThumbnailFile(), "");
}
