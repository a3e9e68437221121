// The registry value writer against the prefix's real registry, under a key
// of its own below HKEY_CLASSES_ROOT.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistryValue.h"

namespace {

constexpr const wchar_t* kTestRoot = L"VantrelCommonTest.ext";

struct StoredValue {
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  DWORD byteCount = 0;
  std::wstring text;
};

StoredValue ReadValue(const std::wstring& subKey, const wchar_t* valueName) {
  StoredValue value;
  std::vector<BYTE> buffer(4096);
  value.byteCount = static_cast<DWORD>(buffer.size());
  value.status = SHGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), valueName, &value.type,
                             buffer.data(), &value.byteCount);
  if (value.status == ERROR_SUCCESS) {
    value.text.assign(reinterpret_cast<const wchar_t*>(buffer.data()),
                      value.byteCount / sizeof(wchar_t));
    while (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
  }
  return value;
}

bool KeyExists(const std::wstring& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

class RegistryValueTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, kTestRoot); }
  void TearDown() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, kTestRoot); }
};

TEST_F(RegistryValueTest, WritesStringValuesCreatingMissingKeys) {
  const std::wstring subKey = std::wstring(kTestRoot) + L"\\shellex\\{E357FCCD-A995-4576-B01F-234630154E96}";
  const RegistryValueEntry defaultValue{HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, REG_SZ,
                                        L"{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}"};
  EXPECT_EQ(WriteRegistryValueEntry(defaultValue), S_OK);

  const StoredValue stored = ReadValue(subKey, nullptr);
  ASSERT_EQ(stored.status, ERROR_SUCCESS);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored.text, L"{4C7D2E15-B3A9-4f2e-8713-C9E05A61B4D8}");
  EXPECT_EQ(stored.byteCount, (38u + 1u) * 2u) << "the terminator is stored";

  const RegistryValueEntry named{HKEY_CLASSES_ROOT, subKey.c_str(), L"ThreadingModel", REG_SZ,
                                 L"Apartment"};
  EXPECT_EQ(WriteRegistryValueEntry(named), S_OK);
  EXPECT_EQ(ReadValue(subKey, L"ThreadingModel").text, L"Apartment");
}

TEST_F(RegistryValueTest, EmptyValueNameAddressesTheDefaultValue) {
  const RegistryValueEntry entry{HKEY_CLASSES_ROOT, kTestRoot, L"", REG_SZ, L"by empty name"};
  EXPECT_EQ(WriteRegistryValueEntry(entry), S_OK);
  EXPECT_EQ(ReadValue(kTestRoot, nullptr).text, L"by empty name");
}

TEST_F(RegistryValueTest, RewritingReplacesTheValue) {
  RegistryValueEntry entry{HKEY_CLASSES_ROOT, kTestRoot, nullptr, REG_SZ, L"first, longer text"};
  EXPECT_EQ(WriteRegistryValueEntry(entry), S_OK);
  entry.data = L"second";
  EXPECT_EQ(WriteRegistryValueEntry(entry), S_OK);
  const StoredValue stored = ReadValue(kTestRoot, nullptr);
  EXPECT_EQ(stored.text, L"second");
  EXPECT_EQ(stored.byteCount, 14u);
}

TEST_F(RegistryValueTest, ZeroLengthStringIsWrittenAsTwoBytes) {
  const RegistryValueEntry entry{HKEY_CLASSES_ROOT, kTestRoot, L"Empty", REG_SZ, L""};
  EXPECT_EQ(WriteRegistryValueEntry(entry), S_OK);
  const StoredValue stored = ReadValue(kTestRoot, L"Empty");
  ASSERT_EQ(stored.status, ERROR_SUCCESS);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored.byteCount, 2u);
  EXPECT_EQ(stored.text, L"");
}

TEST_F(RegistryValueTest, NullDataIsRefusedAndNothingIsWritten) {
  const RegistryValueEntry entry{HKEY_CLASSES_ROOT, kTestRoot, nullptr, REG_SZ, nullptr};
  EXPECT_EQ(WriteRegistryValueEntry(entry), E_INVALIDARG);
  EXPECT_FALSE(KeyExists(kTestRoot));
}

TEST_F(RegistryValueTest, Win32FailureBecomesAnHresult) {
  // A root handle that is no open key: the write fails with ERROR_INVALID_HANDLE.
  const RegistryValueEntry entry{reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654)), L"Nowhere",
                                 nullptr, REG_SZ, L"x"};
  EXPECT_EQ(WriteRegistryValueEntry(entry), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
}

}  // namespace
