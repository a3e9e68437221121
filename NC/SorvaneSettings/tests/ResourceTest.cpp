// The compiled resources of SorvaneSettings.exe, read from the program file:
// the dialog template with every control, the icon group, the version and
// the manifest.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "SettingsTestSupport.h"
#include "resource.h"

namespace {

// Resource types as wide names (the RT_ macros follow the UNICODE setting).
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);
const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);
const LPCWSTR kIconGroupType = MAKEINTRESOURCEW(14);
const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);

struct Control {
  std::wstring windowClass;
  std::wstring text;
  int id;
  DWORD style;
  short x, y, cx, cy;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::wstring menu, windowClass, caption, font;
  WORD pointSize = 0, weight = 0;
  BYTE italic = 0, charset = 0;
  std::vector<Control> controls;
};

// Reads an extended dialog template (DLGTEMPLATEEX with DLGITEMTEMPLATEEX).
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : m_start(data), m_at(data) {}

  template <typename T>
  T Read() {
    T value;
    std::memcpy(&value, m_at, sizeof(T));
    m_at += sizeof(T);
    return value;
  }

  // A string, or an ordinal (0xFFFF then the number), or nothing (0).
  std::wstring ReadNameOrOrdinal() {
    const WORD first = Read<WORD>();
    if (first == 0) return L"";
    if (first == 0xFFFF) return L"#" + std::to_wstring(Read<WORD>());
    std::wstring text(1, static_cast<wchar_t>(first));
    for (WORD c = Read<WORD>(); c != 0; c = Read<WORD>()) text += static_cast<wchar_t>(c);
    return text;
  }

  void AlignToDword() {
    while ((m_at - m_start) % 4) ++m_at;
  }

 private:
  const BYTE* m_start;
  const BYTE* m_at;
};

// The predefined classes a template may name by number.
std::wstring ClassName(const std::wstring& nameOrOrdinal) {
  if (nameOrOrdinal == L"#128") return L"button";
  if (nameOrOrdinal == L"#129") return L"edit";
  if (nameOrOrdinal == L"#130") return L"static";
  if (nameOrOrdinal == L"#131") return L"listbox";
  std::wstring lower = nameOrOrdinal;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  return lower;
}

DialogTemplate ParseDialog(const BYTE* data) {
  TemplateReader reader(data);
  DialogTemplate dialog;
  EXPECT_EQ(reader.Read<WORD>(), 1);       // dlgVer
  EXPECT_EQ(reader.Read<WORD>(), 0xFFFF);  // signature of the extended template
  reader.Read<DWORD>();                    // help id
  dialog.exStyle = reader.Read<DWORD>();
  dialog.style = reader.Read<DWORD>();
  const WORD count = reader.Read<WORD>();
  dialog.x = reader.Read<short>();
  dialog.y = reader.Read<short>();
  dialog.cx = reader.Read<short>();
  dialog.cy = reader.Read<short>();
  dialog.menu = reader.ReadNameOrOrdinal();
  dialog.windowClass = reader.ReadNameOrOrdinal();
  dialog.caption = reader.ReadNameOrOrdinal();
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.pointSize = reader.Read<WORD>();
    dialog.weight = reader.Read<WORD>();
    dialog.italic = reader.Read<BYTE>();
    dialog.charset = reader.Read<BYTE>();
    dialog.font = reader.ReadNameOrOrdinal();
  }
  for (WORD i = 0; i < count; ++i) {
    reader.AlignToDword();
    Control control;
    reader.Read<DWORD>();  // help id
    EXPECT_EQ(reader.Read<DWORD>(), 0u) << "control " << i << " has no extended style";
    control.style = reader.Read<DWORD>();
    control.x = reader.Read<short>();
    control.y = reader.Read<short>();
    control.cx = reader.Read<short>();
    control.cy = reader.Read<short>();
    control.id = static_cast<int>(reader.Read<DWORD>());
    control.windowClass = ClassName(reader.ReadNameOrOrdinal());
    control.text = reader.ReadNameOrOrdinal();
    const WORD extra = reader.Read<WORD>();
    for (WORD b = 0; b < extra; ++b) reader.Read<BYTE>();
    dialog.controls.push_back(control);
  }
  return dialog;
}

class ProgramResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_module = LoadLibraryExW(m_path.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m_module, nullptr) << "cannot load " << SORVANE_SETTINGS_EXE;
  }
  void TearDown() override {
    if (m_module) FreeLibrary(m_module);
  }

  std::vector<BYTE> Resource(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = FindResourceW(m_module, name, type);
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(m_module, found)));
    return std::vector<BYTE>(data, data + SizeofResource(m_module, found));
  }

  const std::wstring m_path = WindowsPath(SORVANE_SETTINGS_EXE);
  HMODULE m_module = nullptr;
};

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kGroup = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD kCheck = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kEdit = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kList = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | WS_TABSTOP |
                        LBS_NOINTEGRALHEIGHT | LBS_SORT | LBS_NOTIFY;

}  // namespace

TEST_F(ProgramResourceTest, DialogTemplate102) {
  const std::vector<BYTE> data = Resource(kDialogType, MAKEINTRESOURCEW(IDD_SORVANESETTINGS_DIALOG));
  ASSERT_FALSE(data.empty());
  const DialogTemplate dialog = ParseDialog(data.data());
  EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                             DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
  EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(dialog.x, 0);
  EXPECT_EQ(dialog.y, 0);
  EXPECT_EQ(dialog.cx, 501);
  EXPECT_EQ(dialog.cy, 242);
  EXPECT_EQ(dialog.menu, L"");
  EXPECT_EQ(dialog.windowClass, L"");
  EXPECT_EQ(dialog.caption, L"Sorvane Settings");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.weight, 0);
  EXPECT_EQ(dialog.italic, 0);
  EXPECT_EQ(dialog.charset, 1);
  EXPECT_EQ(dialog.font, L"MS Shell Dlg");

  // Template order, which is the tab order.
  const Control expected[] = {
      {L"button", L"Close", IDCANCEL, kButton, 444, 222, 50, 14},
      {L"button", L"Register file types", 1002, kGroup, 6, 6, 216, 48},
      {L"edit", L"", 1000, kEdit, 18, 30, 40, 14},
      {L"static", L"File type", 1003, kLabel, 20, 20, 112, 8},
      {L"button", L"Add file type", 1001, kButton, 72, 30, 78, 14},
      {L"button", L"Thumbnail", 1006, kGroup, 6, 66, 486, 72},
      {L"listbox", L"", 1004, kList, 18, 90, 78, 36},
      {L"static", L"Registered file types", 1007, kLabel, 19, 80, 83, 8},
      {L"button", L"Remove selected file type", 1005, kButton, 102, 114, 108, 14},
      {L"button", L"Visual Thumbnail options", -1, kGroup, 234, 78, 144, 54},
      {L"button", L"Show coordinate axis", 1008, kCheck, 240, 91, 126, 10},
      {L"button", L"Show the first three NC comments", 1009, kCheck, 240, 102, 132, 10},
      {L"button", L"Show NC program type (ISO or TNC)", 1010, kCheck, 240, 115, 132, 10},
      {L"static", L"VX.XX", 1014, kLabel, 0, 228, 35, 8},
      {L"button", L"Previewer", 1019, kGroup, 6, 138, 486, 72},
      {L"listbox", L"", 1020, kList, 18, 162, 78, 36},
      {L"static", L"Registered file types", 1021, kLabel, 19, 152, 83, 8},
      {L"button", L"Remove selected file type", 1022, kButton, 102, 186, 108, 14},
      {L"button", L"Check provider", 1015, kButton, 414, 78, 74, 14},
      {L"button", L"Check provider", 1016, kButton, 414, 150, 74, 14},
  };
  ASSERT_EQ(dialog.controls.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const Control& want = expected[i];
    const Control& got = dialog.controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.windowClass, want.windowClass);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
  }
}

TEST_F(ProgramResourceTest, IconGroup128HasNineImages) {
  const std::vector<BYTE> group = Resource(kIconGroupType, MAKEINTRESOURCEW(IDR_MAINFRAME));
  ASSERT_GE(group.size(), 6u);
  WORD header[3];
  std::memcpy(header, group.data(), sizeof(header));
  EXPECT_EQ(header[1], 1);  // icons, not cursors
  ASSERT_EQ(header[2], 9);
  ASSERT_EQ(group.size(), 6u + 9u * 14u);
  std::vector<int> sizes;
  for (int i = 0; i < 9; ++i) {
    const BYTE* entry = group.data() + 6 + 14 * i;
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
    WORD imageId;
    std::memcpy(&imageId, entry + 12, sizeof(imageId));
    EXPECT_FALSE(Resource(kIconType, MAKEINTRESOURCEW(imageId)).empty()) << "image " << imageId;
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 96, 256}));
}

TEST_F(ProgramResourceTest, VersionIs2100) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(m_path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(m_path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020001u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020001u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  wchar_t* description = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                             reinterpret_cast<void**>(&description), &length));
  EXPECT_STREQ(description, L"SorvaneSettings");
}

TEST_F(ProgramResourceTest, ManifestAsksForCommonControls6HighestAvailableAndDpiAwareness) {
  const std::vector<BYTE> data = Resource(kManifestType, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(data.empty());
  const std::string manifest(data.begin(), data.end());
  EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
                          R"(processorArchitecture="amd64")"),
            std::string::npos);
  EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="highestAvailable" uiAccess="false"/>)"),
            std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware>true</dpiAware>"), std::string::npos);

  // One manifest only: a second one from the tool chain would compete.
  int manifests = 0;
  EnumResourceNamesW(
      m_module, kManifestType,
      [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) -> BOOL {
        ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&manifests));
  EXPECT_EQ(manifests, 1);
}
