// End-to-end: the real SorvaneSettings.exe in a real window (Wine under an X
// display), driven from this process like a user would, with what it wrote
// to the registry and the settings folder checked afterwards.
#include <windows.h>

#include <string>
#include <vector>

#include "SettingsTestSupport.h"
#include "SettingsWindowDriver.h"
#include "resource.h"

namespace {

using Entries = std::vector<std::wstring>;
using Seen = std::vector<SeenMessage>;

SeenMessage Information(const std::wstring& text) { return {text, MessageIcon::Information}; }
SeenMessage Warning(const std::wstring& text) { return {text, MessageIcon::Exclamation}; }


const wchar_t kCannotAccess[] = L"Can't access provider key in Windows regestry.";

void ForgetProviders() {
  DeleteKeyTree(std::wstring(L"CLSID\\") + kProviderClass);
  DeleteKeyTree(std::wstring(L"CLSID\\") + kPreviewClass);
}

// Every test starts from a machine where the program never ran: no
// settings folder, no associations of the test's types, no providers.
class SettingsWindowTest : public CleanSettingsTest {
 protected:
  static void SetUpTestSuite() {
    // Without a window manager Wine leaves captions undrawn; told that
    // windows are not decorated by one, it draws the caption itself, with
    // its text and the window's icon, as on Windows.
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                     2 * sizeof(wchar_t));
      RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                     2 * sizeof(wchar_t));
      RegCloseKey(key);
    }
  }

  void SetUp() override {
    CleanSettingsTest::SetUp();
    RemoveSettingsFolder();
    ForgetProviders();
  }
  void TearDown() override {
    m_program.Close();
    ForgetProviders();
    CleanSettingsTest::TearDown();
  }

  // Starts the program; fails the test when no dialog shows.
  void Start() {
    ASSERT_TRUE(m_program.Start()) << "no dialog \"Sorvane Settings\" appeared; is an X display set?";
  }

  // Types a file type and presses "Add file type".
  Seen Add(const std::wstring& type) {
    m_program.SetText(IDC_FILE_TYPE, type);
    m_program.Click(IDC_ADD_FILE_TYPE);
    return m_program.CollectMessages();
  }

  Seen Remove(int listBox, int button, const std::wstring& type) {
    m_program.SelectListEntry(listBox, type);
    m_program.Click(button);
    return m_program.CollectMessages();
  }

  Seen Press(int button) {
    m_program.Click(button);
    return m_program.CollectMessages();
  }

  SettingsWindowDriver m_program{WindowsPath(SORVANE_SETTINGS_EXE)};
};

}  // namespace

TEST_F(SettingsWindowTest, FirstStartOnCleanMachine) {
  ASSERT_FALSE(FileExists(SettingsFolderPath()));
  Start();
  EXPECT_EQ(SettingsWindowDriver::WindowText(m_program.dialog()), L"Sorvane Settings");
  EXPECT_EQ(m_program.Text(IDC_FILE_TYPE), L".");
  EXPECT_EQ(m_program.Text(IDC_VERSION), L"V2.01");
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_AXIS), BST_UNCHECKED);
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_COMMENT), BST_UNCHECKED);
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_TYPE), BST_UNCHECKED);
  EXPECT_TRUE(m_program.ListEntries(IDC_THUMBNAIL_TYPES).empty());
  EXPECT_TRUE(m_program.ListEntries(IDC_PREVIEW_TYPES).empty());
  // The focus starts on the first tab stop, the Close button.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof(gui);
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(m_program.dialog(), nullptr), &gui));
  EXPECT_EQ(gui.hwndFocus, m_program.Item(IDCANCEL));

  // The program made the settings folder and both lists, empty, at start.
  EXPECT_TRUE(FileExists(SettingsFilePath(kThumbnailListFile)));
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_EQ(PreviewFile(), "");

  m_program.Click(IDCANCEL);
  EXPECT_EQ(m_program.WaitForExit(10000), 0u);
  // Starting and closing writes no option file.
  EXPECT_FALSE(FileExists(SettingsFilePath("Vantrel_ShowAxis.txt")));
  EXPECT_FALSE(FileExists(SettingsFilePath("Vantrel_ShowComment.txt")));
  EXPECT_FALSE(FileExists(SettingsFilePath("Vantrel_ShowType.txt")));
}

TEST_F(SettingsWindowTest, ExistingListsAndOptionsAreShownAndKept) {
  ResetSettingsFolder();
  WriteFileBytes(SettingsFilePath(kThumbnailListFile), ".tap;.nc;.b");
  WriteFileBytes(SettingsFilePath("Vantrel_ShowComment.txt"), "1");
  DeleteFileA(SettingsFilePath(kPreviewListFile).c_str());
  Start();
  // The boxes sort; the files keep the order of addition.
  EXPECT_EQ(m_program.ListEntries(IDC_THUMBNAIL_TYPES), (Entries{L".b", L".nc", L".tap"}));
  EXPECT_TRUE(m_program.ListEntries(IDC_PREVIEW_TYPES).empty());
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_AXIS), BST_UNCHECKED);
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_COMMENT), BST_CHECKED);
  EXPECT_EQ(m_program.CheckState(IDC_SHOW_TYPE), BST_UNCHECKED);
  EXPECT_EQ(ThumbnailFile(), ".tap;.nc;.b");
  // Selecting or double-clicking an entry does nothing by itself.
  m_program.SelectListEntry(IDC_THUMBNAIL_TYPES, L".nc");
  m_program.Notify(IDC_THUMBNAIL_TYPES, LBN_SELCHANGE);
  EXPECT_EQ(m_program.CollectMessages(), Seen{});
  m_program.Notify(IDC_THUMBNAIL_TYPES, LBN_DBLCLK);
  EXPECT_EQ(m_program.CollectMessages(), Seen{});
  EXPECT_EQ(ThumbnailFile(), ".tap;.nc;.b");
  EXPECT_EQ(m_program.ListEntries(IDC_THUMBNAIL_TYPES), (Entries{L".b", L".nc", L".tap"}));
  // The missing preview list was created empty.
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(PreviewFile(), "");
}

TEST_F(SettingsWindowTest, AddNcAgainRefuseAndRemove) {
  Start();
  EXPECT_EQ(Add(L".nc"), (Seen{Information(L"File type '.nc' added to Thumbnail and Preview provider")}));
  ExpectAssociatedWithBothHandlers(L".nc");
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(PreviewFile(), ".nc");
  EXPECT_EQ(m_program.ListEntries(IDC_THUMBNAIL_TYPES), Entries{L".nc"});
  EXPECT_EQ(m_program.ListEntries(IDC_PREVIEW_TYPES), Entries{L".nc"});
  EXPECT_EQ(m_program.Text(IDC_FILE_TYPE), L".nc");

  EXPECT_EQ(Add(L".nc"), (Seen{Warning(L"The file type is already in the list"),
                               Warning(L"The file type is already in the list")}));
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(PreviewFile(), ".nc");

  EXPECT_EQ(Add(L"ab.c"), Seen{Warning(L"Type needs to start with a dot")});
  EXPECT_EQ(Add(L".n-c"), Seen{Warning(L"File type contains a non supported character")});
  EXPECT_EQ(Add(L"." + std::wstring(300, L'n')),
            Seen{Warning(L"Type string needs to contain one dot and at least on character")});
  EXPECT_FALSE(KeyExists(L"ab.c"));
  EXPECT_EQ(ThumbnailFile(), ".nc");
  EXPECT_EQ(m_program.Text(IDC_FILE_TYPE), L"." + std::wstring(300, L'n'));

  EXPECT_EQ(Add(L".tap"), (Seen{Information(L"File type '.tap' added to Thumbnail and Preview provider")}));
  EXPECT_EQ(ThumbnailFile(), ".nc;.tap");

  // Remove without a selection, then .nc from the thumbnail list.
  SendMessageW(m_program.Item(IDC_THUMBNAIL_TYPES), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(Press(IDC_REMOVE_THUMBNAIL_TYPE), Seen{Warning(L"Select a file type to remove.")});
  EXPECT_EQ(ThumbnailFile(), ".nc;.tap");
  EXPECT_EQ(Remove(IDC_THUMBNAIL_TYPES, IDC_REMOVE_THUMBNAIL_TYPE, L".nc"), Seen{});
  EXPECT_FALSE(KeyExists(std::wstring(L".nc") + kThumbnailHandlerKey));
  EXPECT_EQ(ThumbnailFile(), ".tap");
  EXPECT_EQ(m_program.ListEntries(IDC_THUMBNAIL_TYPES), Entries{L".tap"});
  EXPECT_EQ(PreviewFile(), ".nc;.tap");
  EXPECT_EQ(m_program.ListEntries(IDC_PREVIEW_TYPES), (Entries{L".nc", L".tap"}));

  // An association someone else deleted is removed from the list silently.
  DeleteKeyTree(std::wstring(L".nc") + kPreviewHandlerKey);
  EXPECT_EQ(Remove(IDC_PREVIEW_TYPES, IDC_REMOVE_PREVIEW_TYPE, L".nc"), Seen{});
  EXPECT_EQ(PreviewFile(), ".tap");
  EXPECT_EQ(m_program.ListEntries(IDC_PREVIEW_TYPES), Entries{L".tap"});

  // Removing the last entry leaves an empty list file.
  EXPECT_EQ(Remove(IDC_PREVIEW_TYPES, IDC_REMOVE_PREVIEW_TYPE, L".tap"), Seen{});
  EXPECT_TRUE(FileExists(SettingsFilePath(kPreviewListFile)));
  EXPECT_EQ(PreviewFile(), "");
  EXPECT_TRUE(m_program.ListEntries(IDC_PREVIEW_TYPES).empty());
}

TEST_F(SettingsWindowTest, RemovalWhoseKeyCannotBeDeletedKeepsTheType) {
  Start();
  ASSERT_EQ(Add(L".x"), (Seen{Information(L"File type '.x' added to Thumbnail and Preview provider")}));
  const std::wstring key = std::wstring(L".x") + kThumbnailHandlerKey;
  {
    const KeyAccessDenial denial(key, KEY_READ | DELETE);
    ASSERT_TRUE(denial.applied());
    EXPECT_EQ(Remove(IDC_THUMBNAIL_TYPES, IDC_REMOVE_THUMBNAIL_TYPE, L".x"),
              Seen{Warning(L"Can't remove file type.")});
    EXPECT_EQ(ThumbnailFile(), ".x");
    EXPECT_EQ(m_program.ListEntries(IDC_THUMBNAIL_TYPES), Entries{L".x"});
  }
  EXPECT_TRUE(KeyExists(key));
  // The type is still within reach: the next try succeeds.
  EXPECT_EQ(Remove(IDC_THUMBNAIL_TYPES, IDC_REMOVE_THUMBNAIL_TYPE, L".x"), Seen{});
  EXPECT_FALSE(KeyExists(key));
  EXPECT_EQ(ThumbnailFile(), "");
}

TEST_F(SettingsWindowTest, EachOptionBoxWritesItsFileAtOnce) {
  Start();
  const struct {
    int box;
    const char* file;
  } options[] = {{IDC_SHOW_AXIS, "Vantrel_ShowAxis.txt"},
                 {IDC_SHOW_COMMENT, "Vantrel_ShowComment.txt"},
                 {IDC_SHOW_TYPE, "Vantrel_ShowType.txt"}};
  for (const auto& option : options) {
    SCOPED_TRACE(option.file);
    EXPECT_EQ(Press(option.box), Seen{});
    EXPECT_EQ(m_program.CheckState(option.box), BST_CHECKED);
    EXPECT_EQ(ReadFileBytes(SettingsFilePath(option.file)), "1");
    EXPECT_EQ(Press(option.box), Seen{});
    EXPECT_EQ(m_program.CheckState(option.box), BST_UNCHECKED);
    EXPECT_EQ(ReadFileBytes(SettingsFilePath(option.file)), "0");
  }
  EXPECT_EQ(Press(IDC_SHOW_TYPE), Seen{});
  m_program.Click(IDCANCEL);
  EXPECT_EQ(m_program.WaitForExit(10000), 0u);
  EXPECT_EQ(ReadFileBytes(SettingsFilePath("Vantrel_ShowType.txt")), "1");

  // The next start shows what the files hold.
  SettingsWindowDriver again(WindowsPath(SORVANE_SETTINGS_EXE));
  ASSERT_TRUE(again.Start());
  EXPECT_EQ(again.CheckState(IDC_SHOW_AXIS), BST_UNCHECKED);
  EXPECT_EQ(again.CheckState(IDC_SHOW_COMMENT), BST_UNCHECKED);
  EXPECT_EQ(again.CheckState(IDC_SHOW_TYPE), BST_CHECKED);
}

TEST_F(SettingsWindowTest, ProviderChecks) {
  Start();
  EXPECT_EQ(Press(IDC_CHECK_THUMBNAIL_PROVIDER), Seen{Warning(kCannotAccess)});
  EXPECT_EQ(Press(IDC_CHECK_PREVIEW_HANDLER), Seen{Warning(kCannotAccess)});

#ifdef VANTREL_DLL
  HMODULE module = LoadLibraryW(WindowsPath(VANTREL_DLL).c_str());
  ASSERT_NE(module, nullptr);
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const auto unregisterServer = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  ASSERT_TRUE(registerServer && unregisterServer);
  std::wstring modulePath(MAX_PATH, L'\0');
  modulePath.resize(GetModuleFileNameW(module, &modulePath[0], MAX_PATH));
  ASSERT_EQ(registerServer(), S_OK);
  EXPECT_EQ(Press(IDC_CHECK_THUMBNAIL_PROVIDER),
            Seen{Warning(L"Provider registrated OK\n" + modulePath)});
  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(Press(IDC_CHECK_THUMBNAIL_PROVIDER), Seen{Warning(kCannotAccess)});
  FreeLibrary(module);
#endif

  const std::wstring handler = L"C:\\Program Files\\Preview Handler\\NcPreview.dll";
  WriteDefaultValue(std::wstring(L"CLSID\\") + kPreviewClass + L"\\InprocServer32", handler);
  EXPECT_EQ(Press(IDC_CHECK_PREVIEW_HANDLER), Seen{Warning(L"Provider registrated OK\n" + handler)});
}

TEST_F(SettingsWindowTest, EnterClosesWithoutAddingAndEscapeCloses) {
  Start();
  m_program.SetText(IDC_FILE_TYPE, L".tap");
  m_program.PressKey(IDC_FILE_TYPE, VK_RETURN);
  EXPECT_EQ(m_program.WaitForExit(10000), 0u);
  EXPECT_EQ(ThumbnailFile(), "");
  EXPECT_FALSE(KeyExists(std::wstring(L".tap") + kThumbnailHandlerKey));

  SettingsWindowDriver second(WindowsPath(SORVANE_SETTINGS_EXE));
  ASSERT_TRUE(second.Start());
  second.PressKey(IDC_FILE_TYPE, VK_ESCAPE);
  EXPECT_EQ(second.WaitForExit(10000), 0u);

  SettingsWindowDriver third(WindowsPath(SORVANE_SETTINGS_EXE));
  ASSERT_TRUE(third.Start());
  PostMessageW(third.dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(third.WaitForExit(10000), 0u);
}

TEST_F(SettingsWindowTest, Screenshot) {
  ResetSettingsFolder();
  WriteFileBytes(SettingsFilePath("Vantrel_ShowAxis.txt"), "1");
  WriteFileBytes(SettingsFilePath("Vantrel_ShowType.txt"), "1");
  Start();
  ASSERT_EQ(Add(L".nc").size(), 1u);
  ASSERT_EQ(Add(L".tap").size(), 1u);
  ASSERT_EQ(Add(L".mpf").size(), 1u);
  m_program.SetText(IDC_FILE_TYPE, L".");
  Sleep(300);  // let the dialog repaint after the last message box
  // The caption shows the application icon: its orange tool path on blue.
  const std::vector<BYTE> caption = m_program.CaptureCaption();
  EXPECT_GT(SettingsWindowDriver::CountPixels(
                caption, [](int r, int g, int b) { return r > 200 && g > 100 && g < 180 && b < 80; }),
            5);
  EXPECT_GT(SettingsWindowDriver::CountPixels(
                caption, [](int r, int g, int b) { return b > 100 && b > r + 50 && g < 110; }),
            5);
  // Saved beside the test; docs/settings-dialog.png is a copy of it.
  EXPECT_TRUE(m_program.SaveScreenshot(L"settings-dialog.png"));
  EXPECT_GT(ReadFileBytes("settings-dialog.png").size(), 1000u);
}
