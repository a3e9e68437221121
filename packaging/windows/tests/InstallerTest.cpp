// The Windows package as an administrator meets it: the real msiexec of a
// fresh Wine prefix installs, changes and removes the package built from
// Vantrel.wxs, and what it leaves is checked where the Shell and the user
// look. The tests run in the order written; each starts from what the one
// before left behind, as on a real machine.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProductFacts.h"
#include "SettingsTestSupport.h"
#include "SettingsWindowDriver.h"
#include "TypeLists.h"
#include "resource.h"

namespace {

const std::wstring kClassKey = L"CLSID\\" VANTREL_WIDE(VANTREL_PROVIDER_CLSID);
const std::wstring kNcThumbnailKey =
    VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) + std::wstring(kThumbnailHandlerKey);
const std::wstring kPreviewClassKey = L"CLSID\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);
const std::wstring kNcPreviewKey =
    VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) + std::wstring(kPreviewHandlerKey);
const wchar_t kPreviewHandlers[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
// A class of another product, which our removals must leave alone.
const wchar_t kOtherClass[] = L"{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}";
const wchar_t kLog[] = L"C:\\vantrel-msiexec.log";

std::wstring InstallFolder() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::wstring(folder) + L"\\" VANTREL_WIDE(VANTREL_COMPANY) L"\\" VANTREL_WIDE(VANTREL_PRODUCT);
}
std::wstring InstalledDll() { return InstallFolder() + L"\\" VANTREL_WIDE(VANTREL_DLL_NAME); }
std::wstring InstalledPreviewDll() {
  return InstallFolder() + L"\\" VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME);
}
std::wstring InstalledProgram() {
  return InstallFolder() + L"\\" VANTREL_WIDE(VANTREL_SETTINGS_EXE_NAME);
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The end of msiexec's log, for the failure message.
std::string LogTail() {
  char path[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, kLog, -1, path, MAX_PATH, nullptr, nullptr);
  const std::string log = ReadFileBytes(path);
  std::string tail;
  // The log is UTF-16; its ASCII letters are enough to read it.
  for (size_t i = log.size() > 6000 ? log.size() - 6000 : 0; i < log.size(); ++i) {
    if (log[i] != '\0') tail += log[i];
  }
  return tail;
}

// Runs msiexec and returns its whole exit code (a shell would see only the
// low 8 bits of it under Wine: 1603 would read as 67).
DWORD RunMsiexec(const std::wstring& arguments) {
  std::wstring command = L"msiexec.exe " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return GetLastError();
  }
  WaitForSingleObject(process.hProcess, 300000);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

DWORD Install(const char* package) {
  return RunMsiexec(L"/i \"" + WindowsPath(package) + L"\" /qn /l*v \"" + kLog + L"\"");
}
DWORD Uninstall(const char* package) {
  return RunMsiexec(L"/x \"" + WindowsPath(package) + L"\" /qn /l*v \"" + kLog + L"\"");
}

// The versions of the product in the machine's list of installed programs,
// where an administrator looks. (Wine's installer loses an upgrade code's
// record when an upgrade removes the older version, so the list is asked,
// not the upgrade code.)
std::vector<std::wstring> InstalledVersions() {
  std::vector<std::wstring> versions;
  const wchar_t* const list = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  HKEY programs = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, list, 0, KEY_READ | KEY_WOW64_64KEY, &programs) !=
      ERROR_SUCCESS) {
    return versions;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t entry[256];
    DWORD length = 256;
    if (RegEnumKeyExW(programs, i, entry, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    wchar_t name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueW(programs, entry, L"DisplayName", RRF_RT_REG_SZ, nullptr, name, &size) !=
            ERROR_SUCCESS ||
        lstrcmpW(name, VANTREL_WIDE(VANTREL_PRODUCT)) != 0) {
      continue;
    }
    wchar_t version[64] = {};
    size = sizeof version;
    RegGetValueW(programs, entry, L"DisplayVersion", RRF_RT_REG_SZ, nullptr, version, &size);
    versions.push_back(version);
  }
  RegCloseKey(programs);
  return versions;
}

HKEY OpenClassesKey(const std::wstring& path, REGSAM view = KEY_WOW64_64KEY) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data) {
  if (type != REG_SZ) return L"<type " + std::to_wstring(type) + L">";
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

// Walks the tree below `key` depth first: `onKey(path)` for each key, then
// `onValue(path, name, text)` for each of its values (text as ValueText
// gives it), each key's name as the registry spells it.
template <typename OnKey, typename OnValue>
void WalkTree(HKEY key, const std::wstring& path, const OnKey& onKey, const OnValue& onValue) {
  onKey(path);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(size + 2);
    nameLength = 256;
    RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
    data.resize(size);
    onValue(path, name, ValueText(type, data));
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    WalkTree(child, path.empty() ? name : path + L"\\" + name, onKey, onValue);
    RegCloseKey(child);
  }
}

// The tree at `path` below the classes root (64-bit view), each key name as
// the registry spells it, so a letter-case difference shows.
std::vector<std::wstring> Snapshot(const std::wstring& path) {
  std::vector<std::wstring> lines;
  std::wstring spelled;
  HKEY key = OpenClassesKey(L"");
  size_t start = 0;
  while (key != nullptr && start <= path.size()) {
    const size_t end = std::min(path.find(L'\\', start), path.size());
    const std::wstring wanted = path.substr(start, end - start);
    HKEY child = nullptr;
    for (DWORD i = 0; child == nullptr; ++i) {
      wchar_t name[256];
      DWORD nameLength = 256;
      if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (lstrcmpiW(name, wanted.c_str()) != 0) continue;
      spelled += (spelled.empty() ? L"" : L"\\") + std::wstring(name);
      RegOpenKeyExW(key, name, 0, KEY_READ, &child);
    }
    RegCloseKey(key);
    key = child;
    start = end + 1;
  }
  if (key == nullptr) return lines;
  // Every value as "path|name|data".
  WalkTree(
      key, spelled, [](const std::wstring&) {},
      [&](const std::wstring& at, const wchar_t* name, const std::wstring& text) {
        lines.push_back(at + L"|" + name + L"|" + text);
      });
  RegCloseKey(key);
  return lines;
}

// Every key of the classes root whose name or value names `classId`.
void FindMentions(HKEY key, const wchar_t* classId, std::vector<std::wstring>& found) {
  WalkTree(
      key, L"",
      [&](const std::wstring& at) {
        if (StrStrIW(at.c_str(), classId) != nullptr) found.push_back(at);
      },
      [&](const std::wstring& at, const wchar_t* name, const std::wstring& text) {
        if (StrStrIW(text.c_str(), classId) != nullptr) found.push_back(at + L"|" + name);
      });
}

// The preview handler's registration: its class key, the ".nc"
// association and its entry in the preview host's list.
std::vector<std::wstring> PreviewRegistration() {
  std::vector<std::wstring> lines = Snapshot(kPreviewClassKey);
  const std::vector<std::wstring> nc = Snapshot(kNcPreviewKey);
  lines.insert(lines.end(), nc.begin(), nc.end());
  wchar_t name[MAX_PATH] = {};
  DWORD size = sizeof name - sizeof(wchar_t);
  if (SHGetValueW(HKEY_LOCAL_MACHINE, kPreviewHandlers, VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID),
                  nullptr, name, &size) == ERROR_SUCCESS) {
    lines.push_back(std::wstring(L"PreviewHandlers|") + name);
  }
  return lines;
}

// Calls an export of the DLL at `path`, as regsvr32 would.
HRESULT CallRegistration(const std::wstring& path, const char* name) {
  HMODULE dll = LoadLibraryW(path.c_str());
  if (dll == nullptr) return E_FAIL;
  const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, name)));
  const HRESULT result = function != nullptr ? function() : E_FAIL;
  FreeLibrary(dll);
  return result;
}

// Where the Start-menu entry is: per machine on Windows; Wine may put a
// per-machine shortcut in the user's menu.
std::wstring ShortcutPath() {
  for (const int folderId : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder);
    const std::wstring path = std::wstring(folder) + L"\\" VANTREL_WIDE(VANTREL_SETTINGS_SHORTCUT) L".lnk";
    if (Exists(path)) return path;
  }
  return {};
}

std::wstring ShortcutTarget(const std::wstring& shortcut) {
  std::wstring target;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
    if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ))) {
      wchar_t path[MAX_PATH] = {};
      if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) target = path;
    }
    file->Release();
  }
  link->Release();
  return target;
}

// A thumbnail the way the Shell asks for one: the class named by the type's
// thumbnail-handler key, created through COM, given a stream over the file.
// The 32-bit pixels, top row first, 0x00RRGGBB; empty on failure.
std::vector<DWORD> ShellThumbnail(const std::wstring& type, const std::string& program, int& width) {
  std::vector<DWORD> pixels;
  std::wstring classText;
  EXPECT_TRUE(ReadDefaultValue(type + kThumbnailHandlerKey, classText));
  CLSID classId = {};
  if (FAILED(CLSIDFromString(classText.c_str(), &classId))) return pixels;

  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring file = std::wstring(folder) + L"installed-package" + type;
  char narrow[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
  WriteFileBytes(narrow, program);

  IInitializeWithStream* initialize = nullptr;
  EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&initialize)),
            S_OK);
  IStream* stream = nullptr;
  SHCreateStreamOnFileEx(file.c_str(), STGM_READ, FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream);
  IThumbnailProvider* provider = nullptr;
  if (initialize != nullptr && stream != nullptr && initialize->Initialize(stream, STGM_READ) == S_OK &&
      initialize->QueryInterface(IID_PPV_ARGS(&provider)) == S_OK) {
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    if (provider->GetThumbnail(255, &bitmap, &alpha) == S_OK) {
      BITMAP info = {};
      GetObjectW(bitmap, sizeof info, &info);
      width = info.bmWidth;
      BITMAPINFO request = {};
      request.bmiHeader.biSize = sizeof request.bmiHeader;
      request.bmiHeader.biWidth = info.bmWidth;
      request.bmiHeader.biHeight = -info.bmHeight;
      request.bmiHeader.biPlanes = 1;
      request.bmiHeader.biBitCount = 32;
      pixels.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight);
      HDC screen = GetDC(nullptr);
      GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
      ReleaseDC(nullptr, screen);
      DeleteObject(bitmap);
      for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    }
    provider->Release();
  }
  if (stream != nullptr) stream->Release();
  if (initialize != nullptr) initialize->Release();
  DeleteFileW(file.c_str());
  return pixels;
}

// Lets COM unload DLLs no object of which is alive, as Explorer does after a
// while: a loaded DLL could not be removed by the uninstall.
void UnloadUnusedDlls() { CoFreeUnusedLibrariesEx(0, 0); }

class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};
[[maybe_unused]] const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

TEST(InstallerTest, InstallsPerMachineIn64BitViewWithTheRegistrationOfTheDll) {
  ASSERT_EQ(Install(VANTREL_PACKAGE), static_cast<DWORD>(ERROR_SUCCESS)) << LogTail();
  EXPECT_EQ(InstalledVersions(), std::vector<std::wstring>{VANTREL_WIDE(VANTREL_VERSION_TEXT)});

  ASSERT_TRUE(Exists(InstalledDll()));
  EXPECT_TRUE(Exists(InstalledProgram()));
  DWORD handle = 0;
  std::vector<BYTE> version(GetFileVersionInfoSizeW(InstalledDll().c_str(), &handle));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_FALSE(version.empty()) << "the DLL has no version resource";
  GetFileVersionInfoW(InstalledDll().c_str(), 0, static_cast<DWORD>(version.size()), version.data());
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(VANTREL_VERSION_MINOR, VANTREL_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, VANTREL_VERSION_PATCH)));

  // The package's registry table writes what DllRegisterServer writes,
  // value for value and letter for letter, with the installed path.
  std::vector<std::wstring> fromPackage = Snapshot(kClassKey);
  const std::vector<std::wstring> ncFromPackage = Snapshot(kNcThumbnailKey);
  fromPackage.insert(fromPackage.end(), ncFromPackage.begin(), ncFromPackage.end());
  EXPECT_EQ(fromPackage.size(), 4u);
  EXPECT_NE(std::find(fromPackage.begin(), fromPackage.end(),
                      kClassKey + L"\\InprocServer32||" + InstalledDll()),
            fromPackage.end());
  DeleteKeyTree(kClassKey);
  DeleteKeyTree(kNcThumbnailKey);
  HMODULE dll = LoadLibraryW(InstalledDll().c_str());
  ASSERT_NE(dll, nullptr);
  const auto registerServer =
      reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
          reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  ASSERT_NE(registerServer, nullptr);
  EXPECT_EQ(registerServer(), S_OK);
  FreeLibrary(dll);
  std::vector<std::wstring> fromDll = Snapshot(kClassKey);
  const std::vector<std::wstring> ncFromDll = Snapshot(kNcThumbnailKey);
  fromDll.insert(fromDll.end(), ncFromDll.begin(), ncFromDll.end());
  EXPECT_EQ(fromPackage, fromDll);

  // Nothing in the 32-bit view, where the 64-bit Shell would never look.
  for (const std::wstring& redirected :
       {L"Software\\Classes\\Wow6432Node\\" + kClassKey, L"Software\\Wow6432Node\\Classes\\" + kClassKey}) {
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, redirected.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS)
        << "found " << std::string(redirected.begin(), redirected.end());
    if (key != nullptr) RegCloseKey(key);
  }

  const std::wstring shortcut = ShortcutPath();
  ASSERT_FALSE(shortcut.empty()) << "no Start-menu entry";
  EXPECT_EQ(lstrcmpiW(ShortcutTarget(shortcut).c_str(), InstalledProgram().c_str()), 0);

  // The preview handler likewise: the package's values are its own.
  ASSERT_TRUE(Exists(InstalledPreviewDll()));
  const std::vector<std::wstring> previewFromPackage = PreviewRegistration();
  EXPECT_EQ(previewFromPackage.size(), 7u);
  EXPECT_NE(std::find(previewFromPackage.begin(), previewFromPackage.end(),
                      kPreviewClassKey + L"\\InprocServer32||" + InstalledPreviewDll()),
            previewFromPackage.end());
  EXPECT_EQ(CallRegistration(InstalledPreviewDll(), "DllUnregisterServer"), S_OK);
  EXPECT_EQ(PreviewRegistration(), std::vector<std::wstring>{});
  EXPECT_EQ(CallRegistration(InstalledPreviewDll(), "DllRegisterServer"), S_OK);
  EXPECT_EQ(PreviewRegistration(), previewFromPackage);

  // The package made the settings folder; both lists name the type the
  // package associated.
  EXPECT_EQ(ThumbnailFile(), VANTREL_ASSOCIATED_TYPE);
  EXPECT_EQ(PreviewFile(), VANTREL_ASSOCIATED_TYPE);
}

TEST(InstallerTest, ShellGetsThumbnailsOfNcFilesFromTheInstalledDll) {
  const std::string square =
      "G90 G17\nG0 X0 Y0\nG1 X100 Y0 F500\nG1 X100 Y100\nG1 X0 Y100\nG1 X0 Y0\nM30\n";
  int width = 0;
  const std::vector<DWORD> pixels = ShellThumbnail(VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE), square, width);
  ASSERT_EQ(pixels.size(), 255u * 255u);
  // The square's four sides: blue pixels in each margin strip of the picture.
  int left = 0, right = 0, top = 0, bottom = 0;
  for (int y = 0; y < 255; ++y) {
    for (int x = 0; x < 255; ++x) {
      if (pixels[static_cast<size_t>(y) * 255 + x] != 0x0000FF) continue;
      left += x < 20;
      right += x > 234;
      top += y < 20;
      bottom += y > 234;
    }
  }
  EXPECT_GT(left, 150);
  EXPECT_GT(right, 150);
  EXPECT_GT(top, 150);
  EXPECT_GT(bottom, 150);

  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(VANTREL_WIDE(VANTREL_DLL_NAME)), loaded, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(loaded, InstalledDll().c_str()), 0);

  // The preview host finds the installed handler through ".nc" the same way.
  std::wstring previewText;
  ASSERT_TRUE(ReadDefaultValue(kNcPreviewKey, previewText));
  CLSID previewClass = {};
  ASSERT_EQ(CLSIDFromString(previewText.c_str(), &previewClass), S_OK);
  IPreviewHandler* preview = nullptr;
  EXPECT_EQ(CoCreateInstance(previewClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&preview)),
            S_OK);
  GetModuleFileNameW(GetModuleHandleW(VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME)), loaded, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(loaded, InstalledPreviewDll().c_str()), 0);
  if (preview != nullptr) preview->Release();

  UnloadUnusedDlls();
  EXPECT_EQ(GetModuleHandleW(VANTREL_WIDE(VANTREL_DLL_NAME)), nullptr);
  EXPECT_EQ(GetModuleHandleW(VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME)), nullptr);
}

TEST(InstallerTest, InstalledSettingsProgramShowsTheTypeAndAddsAnother) {
  SettingsWindowDriver program(InstalledProgram());
  ASSERT_TRUE(program.Start()) << "no dialog appeared; is an X display set?";
  EXPECT_EQ(program.ListEntries(IDC_THUMBNAIL_TYPES),
            std::vector<std::wstring>{VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE)});
  program.SetText(IDC_FILE_TYPE, L".tap");
  program.Click(IDC_ADD_FILE_TYPE);
  const std::vector<SeenMessage> messages = program.CollectMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, L"File type '.tap' added to Thumbnail and Preview provider");
  // The Previewer group's check finds the installed handler.
  program.Click(IDC_CHECK_PREVIEW_HANDLER);
  const std::vector<SeenMessage> check = program.CollectMessages();
  ASSERT_EQ(check.size(), 1u);
  EXPECT_EQ(check[0].text, L"Provider registrated OK\n" + InstalledPreviewDll());
  program.Close();
  ExpectAssociatedWithBothHandlers(L".tap");
}

TEST(InstallerTest, UninstallRemovesFilesClassesAndEveryAssociationOfOurs) {
  // A listed type whose keys another product has taken over since: they are
  // theirs, and stay.
  WriteDefaultValue(std::wstring(L".ngc") + kThumbnailHandlerKey, kOtherClass);
  WriteDefaultValue(std::wstring(L".ngc") + kPreviewHandlerKey, kOtherClass);
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ThumbnailFile() + ";.ngc");
  WriteFileBytes(SettingsFilePath(kPreviewListFile), PreviewFile() + ";.ngc");

  ASSERT_EQ(Uninstall(VANTREL_PACKAGE), static_cast<DWORD>(ERROR_SUCCESS)) << LogTail();
  EXPECT_TRUE(InstalledVersions().empty());
  EXPECT_FALSE(Exists(InstalledDll()));
  EXPECT_FALSE(Exists(InstalledPreviewDll()));
  EXPECT_FALSE(Exists(InstalledProgram()));
  EXPECT_TRUE(ShortcutPath().empty());

  // No key anywhere in the classes root names either removed class: not its
  // class key, not ".nc", not the ".tap" the user added.
  HKEY root = OpenClassesKey(L"");
  ASSERT_NE(root, nullptr);
  for (const wchar_t* classId :
       {VANTREL_WIDE(VANTREL_PROVIDER_CLSID), VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID)}) {
    std::vector<std::wstring> mentions;
    FindMentions(root, classId, mentions);
    EXPECT_EQ(mentions, std::vector<std::wstring>{});
  }
  RegCloseKey(root);
  EXPECT_EQ(PreviewRegistration(), std::vector<std::wstring>{});

  // The other product's keys stay; the user's settings folder stays, with
  // every type gone from our lists.
  std::wstring other;
  EXPECT_TRUE(ReadDefaultValue(std::wstring(L".ngc") + kThumbnailHandlerKey, other));
  EXPECT_EQ(other, kOtherClass);
  EXPECT_TRUE(ReadDefaultValue(std::wstring(L".ngc") + kPreviewHandlerKey, other));
  EXPECT_EQ(other, kOtherClass);
  DeleteHandlerKeys(L".ngc");
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_EQ(PreviewFile(), "");
}

TEST(InstallerTest, NewerPackageReplacesAnOlderOneAndKeepsTheUsersTypes) {
  ASSERT_EQ(Install(VANTREL_OLDER_PACKAGE), static_cast<DWORD>(ERROR_SUCCESS)) << LogTail();
  EXPECT_EQ(InstalledVersions().size(), 1u);
  ASSERT_EQ(AddTypeToList(TypeList::Thumbnail, ".tap"), kTypeAdded);

  ASSERT_EQ(Install(VANTREL_PACKAGE), static_cast<DWORD>(ERROR_SUCCESS)) << LogTail();
  EXPECT_EQ(InstalledVersions(), std::vector<std::wstring>{VANTREL_WIDE(VANTREL_VERSION_TEXT)});

  std::wstring server;
  EXPECT_TRUE(ReadDefaultValue(kClassKey + L"\\InprocServer32", server));
  EXPECT_EQ(server, InstalledDll());
  EXPECT_TRUE(Exists(InstalledDll()));
  std::wstring tap;
  EXPECT_TRUE(ReadDefaultValue(std::wstring(L".tap") + kThumbnailHandlerKey, tap));
  EXPECT_EQ(tap, kProviderClass);
  EXPECT_EQ(ThumbnailFile(), ".tap");

  EXPECT_EQ(Uninstall(VANTREL_PACKAGE), static_cast<DWORD>(ERROR_SUCCESS)) << LogTail();
  EXPECT_TRUE(InstalledVersions().empty());
}

}  // namespace
