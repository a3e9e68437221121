// VantrelPreview.dll as the Shell's preview host uses it: the class found
// through ".nc"'s preview-handler key and created in-process on this
// single-threaded apartment, a stream over a real file, a window of the
// host's to show it in, and the pixels read back from that window after the
// pane painted. Wine has no preview host of its own, so this test is one.
#include <windows.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ComPtr.h"
#include "DibSection.h"
#include "ProductFacts.h"
#include "VantrelTestSupport.h"

namespace {

const std::wstring kPreviewClassKey = L"CLSID\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID);
const std::wstring kNcPreviewKey =
    VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE) L"\\shellex\\" VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_KEY);
const wchar_t kPreviewHandlers[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";

std::wstring PreviewDllPath() { return BesideTestProgram(VANTREL_WIDE(VANTREL_PREVIEW_DLL_NAME)); }

std::wstring ReadText(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t text[MAX_PATH] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (SHGetValueW(root, key.c_str(), name, nullptr, text, &size) != ERROR_SUCCESS) return L"<none>";
  return text;
}

// Handles the host's messages for `milliseconds`, painting included.
void Pump(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

// The host's window: a plain top-level window on the (virtual) screen.
class HostWindow {
 public:
  HostWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = L"PreviewTestHost";
    RegisterClassW(&windowClass);
    window = CreateWindowExW(0, L"PreviewTestHost", L"Preview host", WS_POPUP | WS_VISIBLE, 0, 0,
                             900, 700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Pump(50);
  }
  ~HostWindow() { DestroyWindow(window); }

  // The window's pixels as the screen shows them, read from its DC.
  Picture Capture() const {
    DibSection copy;
    EXPECT_TRUE(copy.Create(900, 700));
    HDC screen = GetDC(window);
    BitBlt(copy.Dc(), 0, 0, 900, 700, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    GdiFlush();
    Picture picture;
    picture.width = 900;
    picture.height = 700;
    picture.pixels.assign(copy.Bits(), copy.Bits() + 900 * 700);
    for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
    return picture;
  }

  HWND window = nullptr;
};

// The box around every pixel of one colour; empty (right < left) when none.
Zone BoxOf(const Picture& picture, uint32_t colour) {
  Zone box{picture.width, picture.height, -1, -1};
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (picture.At(x, y) != colour) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

// The class the Shell finds for ".nc" previews, created as the host does.
void ActivateForNc(ComPtr<IPreviewHandler>& handler) {
  wchar_t classText[64] = {};
  DWORD length = ARRAYSIZE(classText);
  EXPECT_EQ(AssocQueryStringW(ASSOCF_INIT_DEFAULTTOSTAR, ASSOCSTR_SHELLEXTENSION,
                              VANTREL_WIDE(VANTREL_ASSOCIATED_TYPE),
                              VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_KEY), classText, &length),
            S_OK);
  CLSID classId = {};
  if (FAILED(CLSIDFromString(classText, &classId))) return;
  EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IPreviewHandler,
                             handler.PutVoid()),
            S_OK);
}

// Hands the handler a stream; the handler keeps its own reference.
HRESULT InitializeWith(IPreviewHandler* handler, IStream* stream) {
  ComPtr<IInitializeWithStream> initialize;
  if (FAILED(handler->QueryInterface(IID_IInitializeWithStream, initialize.PutVoid()))) {
    return E_NOINTERFACE;
  }
  return initialize->Initialize(stream, STGM_READ);
}

IStream* FileStream(const std::wstring& path) {
  IStream* stream = nullptr;
  EXPECT_EQ(SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                   FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream),
            S_OK);
  return stream;
}

bool IsDark(uint32_t rgb) { return Red(rgb) + Green(rgb) + Blue(rgb) < 200; }

// A frame as the host's site: it takes the keys the pane does not use.
class HostFrame final : public IPreviewHandlerFrame {
 public:
  IFACEMETHODIMP QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IPreviewHandlerFrame)) {
      *object = static_cast<IPreviewHandlerFrame*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return ++references; }
  IFACEMETHODIMP_(ULONG) Release() override { return --references; }
  IFACEMETHODIMP GetWindowContext(PREVIEWHANDLERFRAMEINFO*) override { return E_NOTIMPL; }
  IFACEMETHODIMP TranslateAccelerator(MSG*) override {
    ++keys;
    return S_OK;
  }
  ULONG references = 1;
  int keys = 0;
};

class PreviewHostTest : public ::testing::Test {
 protected:
  // Registered per machine, as the package does: Wine's COM reads no
  // per-user classes. Taken back afterwards, for the other tests' registry.
  static void SetUpTestSuite() { ASSERT_EQ(RunRegsvr32(false, PreviewDllPath()), 0u); }
  static void TearDownTestSuite() { RunRegsvr32(true, PreviewDllPath()); }
  void SetUp() override { RemoveDisplayOptionFiles(); }
};

TEST_F(PreviewHostTest, RegistrationNamesTheModuleAndUnregistrationTakesBackOnlyItsOwn) {
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey, nullptr), VANTREL_WIDE(VANTREL_PREVIEW_CLASS_NAME));
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey, L"DisplayName"),
            VANTREL_WIDE(VANTREL_PREVIEW_CLASS_NAME));
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey, L"AppID"), VANTREL_WIDE(VANTREL_PREVIEW_HOST_APPID));
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey + L"\\InprocServer32", nullptr), PreviewDllPath());
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey + L"\\InprocServer32", L"ThreadingModel"),
            L"Apartment");
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kNcPreviewKey, nullptr), VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kPreviewHandlers, VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID)),
            VANTREL_WIDE(VANTREL_PREVIEW_CLASS_NAME));

  // Unregistration removes the class, its listing and ".nc"'s association...
  ASSERT_EQ(RunRegsvr32(true, PreviewDllPath()), 0u);
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kPreviewClassKey, nullptr), L"<none>");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kPreviewHandlers, VANTREL_WIDE(VANTREL_PREVIEW_HANDLER_CLSID)),
            L"<none>");
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kNcPreviewKey, nullptr), L"<none>");

  // ...but an association another product has taken over since stays theirs.
  ASSERT_EQ(RunRegsvr32(false, PreviewDllPath()), 0u);
  const wchar_t* other = L"{11111111-2222-3333-4444-555555555555}";
  ASSERT_EQ(SHSetValueW(HKEY_CLASSES_ROOT, kNcPreviewKey.c_str(), nullptr, REG_SZ, other,
                        static_cast<DWORD>((lstrlenW(other) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ASSERT_EQ(RunRegsvr32(true, PreviewDllPath()), 0u);
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kNcPreviewKey, nullptr), other);
  ASSERT_EQ(RunRegsvr32(false, PreviewDllPath()), 0u);
}

TEST_F(PreviewHostTest, ShowsTheProgramFittedToThePaneAndRefitsItOnResize) {
  // A plate twice as wide as it is high, in millimetres.
  const std::wstring path = WriteTempFile(
      L"pane-plate.nc", "%\nG21 G90\nG0 X0 Y0\nG1 X100 Y0\nG1 X100 Y50\nG1 X0 Y50\nG1 X0 Y0\nM30\n");
  HostWindow host;
  ComPtr<IPreviewHandler> handler;
  ActivateForNc(handler);
  ASSERT_TRUE(handler);
  IStream* file = FileStream(path);
  ASSERT_NE(file, nullptr);
  ObservedStream stream(file);
  ASSERT_EQ(InitializeWith(handler.Get(), &stream), S_OK);
  ComPtr<IObjectWithSite> withSite;
  ASSERT_EQ(handler->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()), S_OK);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);  // hosts may give none

  const RECT pane = {20, 30, 620, 430};  // 600 x 400
  ASSERT_EQ(handler->SetWindow(host.window, &pane), S_OK);
  ASSERT_EQ(handler->SetRect(&pane), S_OK);
  ASSERT_EQ(handler->DoPreview(), S_OK);
  Pump(150);
  const HWND child = GetWindow(host.window, GW_CHILD);
  ASSERT_NE(child, nullptr);

  Picture shown = host.Capture();
  Zone plate = BoxOf(shown, kBlue);
  // Inside the pane, as wide as the pane allows and twice as wide as high.
  EXPECT_GE(plate.left, pane.left);
  EXPECT_LE(plate.right, pane.right);
  EXPECT_GE(plate.top, pane.top);
  EXPECT_LE(plate.bottom, pane.bottom);
  EXPECT_GT(plate.right - plate.left, 540);
  EXPECT_NEAR((plate.right - plate.left) / 2.0, plate.bottom - plate.top, 2.0);
  EXPECT_EQ(shown.At(pane.left + 2, pane.top + 2), kWhite);
  // The facts line below the picture: dark text on white.
  EXPECT_GT(CountPixels(shown, {pane.left, plate.bottom + 3, pane.right, pane.bottom}, IsDark), 60);

  // A narrow, tall pane: a new picture of the new size, not the old one squeezed.
  const RECT narrow = {20, 30, 320, 630};  // 300 x 600
  ASSERT_EQ(handler->SetRect(&narrow), S_OK);
  Pump(150);
  shown = host.Capture();
  plate = BoxOf(shown, kBlue);
  EXPECT_GE(plate.left, narrow.left);
  EXPECT_LE(plate.right, narrow.right);
  EXPECT_GT(plate.right - plate.left, 260);
  EXPECT_NEAR((plate.right - plate.left) / 2.0, plate.bottom - plate.top, 2.0);
  EXPECT_EQ(CountPixels(shown, {narrow.right, 0, 900, 700}, [](uint32_t rgb) { return rgb == kBlue; }),
            0);

  // Unload: the window goes and the stream is let go.
  EXPECT_EQ(handler->Unload(), S_OK);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(stream.references, 1u);
  handler.Reset();
  file->Release();
  DeleteFileW(path.c_str());
}

TEST_F(PreviewHostTest, BadInputShowsTheMessageInsteadOfAPicture) {
  HostWindow host;
  ComPtr<IPreviewHandler> handler;
  ActivateForNc(handler);
  ASSERT_TRUE(handler);
  const RECT pane = {0, 0, 500, 400};
  ASSERT_EQ(handler->SetWindow(host.window, &pane), S_OK);
  const auto expectMessage = [&](const char* what) {
    Pump(100);
    const Picture shown = host.Capture();
    EXPECT_EQ(CountPixels(shown, {0, 0, 500, 400}, [](uint32_t rgb) { return rgb == kBlue; }), 0)
        << what;
    EXPECT_GT(CountPixels(shown, {0, 150, 500, 250}, IsDark), 40) << what;
  };

  // A stream that fails: DoPreview says so, the pane shows the message.
  IStream* memory = MemoryStream(ReadSample("iso-milling.nc"));
  ObservedStream failing(memory);
  failing.failReadsAfter = 1000;
  ASSERT_EQ(InitializeWith(handler.Get(), &failing), S_OK);
  EXPECT_EQ(handler->DoPreview(), STG_E_READFAULT);
  expectMessage("failing stream");
  // The host reuses the handler for the next file after Unload.
  EXPECT_EQ(handler->Unload(), S_OK);
  EXPECT_EQ(failing.references, 1u);
  memory->Release();

  // Files that are no program: binary bytes, text with nothing to draw, and
  // words with absurd numbers on a line longer than any block.
  std::string binary;
  for (int i = 0; i < 100000; ++i) binary += static_cast<char>((i * 7919) % 256);
  std::string absurd = "G1 X1e308 Y-1e308\nG2 X1e-300 Y5 R0\nG1 X";
  absurd += std::string(300000, '9') + "\n";
  const std::pair<const wchar_t*, std::string> files[] = {
      {L"pane-binary.nc", binary}, {L"pane-words.nc", "DRAWING NOTES\nNo moves here.\n"},
      {L"pane-absurd.nc", absurd}};
  for (const auto& [name, bytes] : files) {
    const std::wstring path = WriteTempFile(name, bytes);
    IStream* stream = FileStream(path);
    ASSERT_EQ(InitializeWith(handler.Get(), stream), S_OK);
    EXPECT_EQ(handler->DoPreview(), S_OK);
    if (bytes != absurd) expectMessage(std::string(name, name + lstrlenW(name)).c_str());
    EXPECT_EQ(handler->Unload(), S_OK);
    stream->Release();
    DeleteFileW(path.c_str());
  }
}

TEST_F(PreviewHostTest, TakesTheHostsColoursKeysAndFocus) {
  const std::wstring path = WriteTempFile(L"pane-colours.nc", ReadSample("iso-milling.nc"));
  HostWindow host;
  ComPtr<IPreviewHandler> handler;
  ActivateForNc(handler);
  ASSERT_TRUE(handler);
  IStream* stream = FileStream(path);
  ASSERT_EQ(InitializeWith(handler.Get(), stream), S_OK);

  ComPtr<IPreviewHandlerVisuals> visuals;
  ASSERT_EQ(handler->QueryInterface(IID_IPreviewHandlerVisuals, visuals.PutVoid()), S_OK);
  EXPECT_EQ(visuals->SetBackgroundColor(RGB(30, 30, 30)), S_OK);
  EXPECT_EQ(visuals->SetTextColor(RGB(240, 240, 240)), S_OK);
  const RECT pane = {0, 0, 400, 300};
  ASSERT_EQ(handler->SetWindow(host.window, &pane), S_OK);
  ASSERT_EQ(handler->DoPreview(), S_OK);
  Pump(100);
  const Picture shown = host.Capture();
  EXPECT_EQ(shown.At(2, 2), 0x1E1E1Eu);
  EXPECT_GT(CountPixels(shown, {0, 0, 400, 300}, [](uint32_t rgb) { return rgb == kBlue; }), 100);
  EXPECT_GT(CountPixels(shown, {0, 270, 400, 300}, [](uint32_t rgb) { return Green(rgb) > 150; }), 40)
      << "the facts line in the host's text colour";

  // Keys go to the host's frame when there is one.
  MSG key = {};
  key.message = WM_KEYDOWN;
  key.wParam = VK_TAB;
  EXPECT_EQ(handler->TranslateAccelerator(&key), S_FALSE);
  HostFrame frame;
  ComPtr<IObjectWithSite> withSite;
  ASSERT_EQ(handler->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()), S_OK);
  ASSERT_EQ(withSite->SetSite(&frame), S_OK);
  EXPECT_EQ(handler->TranslateAccelerator(&key), S_OK);
  EXPECT_EQ(frame.keys, 1);

  EXPECT_EQ(handler->SetFocus(), S_OK);
  HWND focus = nullptr;
  EXPECT_EQ(handler->QueryFocus(&focus), S_OK);
  EXPECT_EQ(focus, GetWindow(host.window, GW_CHILD));
  ComPtr<IOleWindow> oleWindow;
  ASSERT_EQ(handler->QueryInterface(IID_IOleWindow, oleWindow.PutVoid()), S_OK);
  HWND window = nullptr;
  EXPECT_EQ(oleWindow->GetWindow(&window), S_OK);
  EXPECT_EQ(window, host.window);

  EXPECT_EQ(handler->Unload(), S_OK);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(frame.references, 1u);
  oleWindow.Reset();
  withSite.Reset();
  visuals.Reset();
  handler.Reset();
  stream->Release();
  DeleteFileW(path.c_str());
}

}  // namespace
