// The provider check against the real registry: the thumbnail provider as
// the real Vantrel.dll registers itself, and a preview handler whose class
// key the test writes the way that component's installer would.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "SettingsActions.h"
#include "SettingsTestSupport.h"

namespace {

class RecordingSink final : public MessageSink {
 public:
  void ShowMessage(const std::wstring& text, UINT style) override { messages.emplace_back(text, style); }
  std::vector<std::pair<std::wstring, UINT>> messages;
};

using Messages = std::vector<std::pair<std::wstring, UINT>>;

const wchar_t kCannotAccess[] = L"Can't access provider key in Windows regestry.";

std::wstring ServerKey(const wchar_t* classId) {
  return std::wstring(L"CLSID\\") + classId + L"\\InprocServer32";
}

Messages Check(const wchar_t* classId) {
  RecordingSink sink;
  CheckProvider(sink, classId);
  return sink.messages;
}

class ProviderCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKeyTree(std::wstring(L"CLSID\\") + kPreviewClass); }
  void TearDown() override { DeleteKeyTree(std::wstring(L"CLSID\\") + kPreviewClass); }
};

}  // namespace

#ifdef VANTREL_DLL
TEST_F(ProviderCheckTest, ThumbnailProviderAfterRegistrationAndRemoval) {
  HMODULE module = LoadLibraryW(WindowsPath(VANTREL_DLL).c_str());
  ASSERT_NE(module, nullptr) << "cannot load " << VANTREL_DLL;
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const auto unregisterServer = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  ASSERT_NE(registerServer, nullptr);
  ASSERT_NE(unregisterServer, nullptr);
  std::wstring modulePath(MAX_PATH, L'\0');
  modulePath.resize(GetModuleFileNameW(module, &modulePath[0], MAX_PATH));

  ASSERT_EQ(registerServer(), S_OK);
  std::wstring path;
  EXPECT_TRUE(ReadServerPath(kProviderClass, path));
  EXPECT_EQ(path, modulePath);
  EXPECT_EQ(Check(kProviderClass), (Messages{{L"Provider registrated OK\n" + modulePath, MB_OK}}));

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_FALSE(ReadServerPath(kProviderClass, path));
  EXPECT_EQ(Check(kProviderClass), (Messages{{kCannotAccess, MB_OK}}));
  FreeLibrary(module);
}
#endif

TEST_F(ProviderCheckTest, PreviewHandlerInstalledOrNot) {
  EXPECT_EQ(Check(kPreviewClass), (Messages{{kCannotAccess, MB_OK}}));
  const std::wstring handler = L"C:\\Program Files\\Preview Handler\\NcPreview.dll";
  WriteDefaultValue(ServerKey(kPreviewClass), handler);
  EXPECT_EQ(Check(kPreviewClass), (Messages{{L"Provider registrated OK\n" + handler, MB_OK}}));
  // The check only reads: the key is as it was.
  std::wstring value;
  ASSERT_TRUE(ReadDefaultValue(ServerKey(kPreviewClass), value));
  EXPECT_EQ(value, handler);
}

TEST_F(ProviderCheckTest, ClassKeyWithoutServerKeyOrValue) {
  WriteDefaultValue(std::wstring(L"CLSID\\") + kPreviewClass, L"Preview handler");
  EXPECT_EQ(Check(kPreviewClass), (Messages{{kCannotAccess, MB_OK}}));
  // A server key whose default value is empty names no module, but is there.
  WriteDefaultValue(ServerKey(kPreviewClass), L"");
  EXPECT_EQ(Check(kPreviewClass), (Messages{{L"Provider registrated OK\n", MB_OK}}));
}

TEST_F(ProviderCheckTest, PathsUpTo259CharactersAreShownWhole) {
  const std::wstring longest = L"C:\\" + std::wstring(252, L'p') + L".dll";
  ASSERT_EQ(longest.size(), 259u);
  WriteDefaultValue(ServerKey(kPreviewClass), longest);
  std::wstring path;
  EXPECT_TRUE(ReadServerPath(kPreviewClass, path));
  EXPECT_EQ(path, longest);

  WriteDefaultValue(ServerKey(kPreviewClass), longest + L"x");
  EXPECT_FALSE(ReadServerPath(kPreviewClass, path));
  EXPECT_EQ(Check(kPreviewClass), (Messages{{kCannotAccess, MB_OK}}));
}
