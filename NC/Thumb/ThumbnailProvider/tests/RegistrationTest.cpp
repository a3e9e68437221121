// The registry layout that DllRegisterServer writes and DllUnregisterServer
// removes, in the prefix's real registry.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VantrelTestSupport.h"

namespace {

struct KeyContents {
  bool exists = false;
  std::vector<std::wstring> subKeys;
  std::vector<std::wstring> valueNames;
};

KeyContents ReadKey(const std::wstring& path) {
  KeyContents contents;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return contents;
  }
  contents.exists = true;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    contents.subKeys.push_back(name);
  }
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    contents.valueNames.push_back(name);
  }
  RegCloseKey(key);
  return contents;
}

std::wstring ReadString(const std::wstring& path, const wchar_t* valueName, DWORD* type = nullptr) {
  wchar_t text[MAX_PATH * 2] = {};
  DWORD size = sizeof text;
  DWORD valueType = 0;
  if (SHGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, &valueType, text, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  if (type != nullptr) *type = valueType;
  return text;
}

// True when HKCR\CLSID holds a key spelled exactly `name`, letter case included.
bool ClassKeySpelled(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool found = false;
  wchar_t subKey[256];
  for (DWORD i = 0; !found; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, subKey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    found = lstrcmpW(subKey, name) == 0;
  }
  RegCloseKey(key);
  return found;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerServer_ = VantrelFunction<DllFunctionFn>("DllRegisterServer");
    unregisterServer_ = VantrelFunction<DllFunctionFn>("DllUnregisterServer");
    ASSERT_NE(registerServer_, nullptr);
    ASSERT_NE(unregisterServer_, nullptr);
    // A clean registry: neither the class key nor the ".nc" handler key.
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".nc\\shellex");
  }
  // The other tests expect the module registered.
  void TearDown() override { registerServer_(); }

  void ExpectRegisteredLayout() {
    const std::wstring inproc = std::wstring(kClassKey) + L"\\InprocServer32";
    DWORD type = 0;
    EXPECT_EQ(ReadString(kClassKey, nullptr, &type), L"Vantrel");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // The path of the DLL that registered itself, not of this test program.
    wchar_t modulePath[MAX_PATH] = {};
    GetModuleFileNameW(VantrelModule(), modulePath, MAX_PATH);
    EXPECT_EQ(ReadString(inproc, nullptr), modulePath);
    EXPECT_EQ(ReadString(inproc, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadString(kNcThumbnailKey, nullptr, &type), kProviderClsidText);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // Exactly these values: one under the class key, two under
    // InprocServer32, one under the ".nc" handler key.
    const KeyContents classKey = ReadKey(kClassKey);
    EXPECT_EQ(classKey.subKeys, std::vector<std::wstring>{L"InprocServer32"});
    EXPECT_EQ(classKey.valueNames, std::vector<std::wstring>{L""});
    const KeyContents inprocKey = ReadKey(inproc);
    EXPECT_TRUE(inprocKey.subKeys.empty());
    EXPECT_EQ(inprocKey.valueNames.size(), 2u);
    const KeyContents ncKey = ReadKey(kNcThumbnailKey);
    EXPECT_TRUE(ncKey.subKeys.empty());
    EXPECT_EQ(ncKey.valueNames, std::vector<std::wstring>{L""});
    EXPECT_TRUE(ClassKeySpelled(L"{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}"));
  }

  DllFunctionFn registerServer_ = nullptr;
  DllFunctionFn unregisterServer_ = nullptr;
};

TEST_F(RegistrationTest, RegisterWritesTheFourValues) {
  EXPECT_EQ(registerServer_(), S_OK);
  ExpectRegisteredLayout();
}

TEST_F(RegistrationTest, RegisterTwiceLeavesTheSameValues) {
  EXPECT_EQ(registerServer_(), S_OK);
  EXPECT_EQ(registerServer_(), S_OK);
  ExpectRegisteredLayout();
}

TEST_F(RegistrationTest, UnregisterRemovesTheClassKeyButKeepsTheNcKey) {
  ASSERT_EQ(registerServer_(), S_OK);
  EXPECT_EQ(unregisterServer_(), S_OK);
  EXPECT_FALSE(ReadKey(kClassKey).exists);
  EXPECT_EQ(ReadString(kNcThumbnailKey, nullptr), kProviderClsidText);

  EXPECT_EQ(unregisterServer_(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadString(kNcThumbnailKey, nullptr), kProviderClsidText);
}

TEST_F(RegistrationTest, ExtensionKeysOfTheSettingsProgramSurviveUnregistration) {
  const std::wstring otherType = L".tap\\shellex\\{E357FCCD-A995-4576-B01F-234630154E96}";
  ASSERT_EQ(SHSetValueW(HKEY_CLASSES_ROOT, otherType.c_str(), nullptr, REG_SZ, kProviderClsidText,
                        (lstrlenW(kProviderClsidText) + 1) * 2),
            ERROR_SUCCESS);
  ASSERT_EQ(registerServer_(), S_OK);
  EXPECT_EQ(unregisterServer_(), S_OK);
  EXPECT_EQ(ReadString(otherType, nullptr), kProviderClsidText);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tap");
}

// A copy of the DLL in a folder whose path is longer than the module path
// buffer: the path it would register is cut off, so it registers nothing.
TEST_F(RegistrationTest, RegisterRefusesWithoutItsWholeModulePath) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"vantrel-long-path";
  std::vector<std::wstring> created;
  for (;;) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    created.push_back(folder);
    if (folder.size() > MAX_PATH + 20) break;
    folder += L"\\" + std::wstring(40, L'd');
  }
  const std::wstring copy = folder + L"\\Vantrel.dll";
  ASSERT_TRUE(CopyFileW(VantrelDllPath().c_str(), copy.c_str(), FALSE));
  HMODULE module = LoadLibraryW(copy.c_str());
  ASSERT_NE(module, nullptr);
  const auto registerCopy = reinterpret_cast<DllFunctionFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  ASSERT_NE(registerCopy, nullptr);

  EXPECT_TRUE(FAILED(registerCopy()));
  EXPECT_FALSE(ReadKey(kClassKey).exists);
  EXPECT_FALSE(ReadKey(kNcThumbnailKey).exists);

  FreeLibrary(module);
  DeleteFileW(copy.c_str());
  for (auto at = created.rbegin(); at != created.rend(); ++at) RemoveDirectoryW(at->c_str());
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregisters) {
  EXPECT_EQ(RunRegsvr32(false), 0u);
  ExpectRegisteredLayout();
  EXPECT_EQ(RunRegsvr32(true), 0u);
  EXPECT_FALSE(ReadKey(kClassKey).exists);
}

}  // namespace
