#include "SorvaneSettingsDlg.h"

#include "resource.h"

CSorvaneSettingsDlg::CSorvaneSettingsDlg(HWND parent)
    : CDialogEx(IDD_SORVANESETTINGS_DIALOG, parent),
      m_icon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_thumbnailTypes(*this, IDC_THUMBNAIL_TYPES),
      m_previewTypes(*this, IDC_PREVIEW_TYPES) {}

INT_PTR CSorvaneSettingsDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case IDC_ADD_FILE_TYPE: OnAddFileType(); return TRUE;
        case IDC_REMOVE_THUMBNAIL_TYPE: OnRemoveThumbnailType(); return TRUE;
        case IDC_SHOW_AXIS: OnShowAxis(); return TRUE;
        case IDC_SHOW_COMMENT: OnShowComment(); return TRUE;
        case IDC_SHOW_TYPE: OnShowType(); return TRUE;
        case IDC_REMOVE_PREVIEW_TYPE: OnRemovePreviewType(); return TRUE;
        case IDC_CHECK_THUMBNAIL_PROVIDER: OnCheckThumbnailProvider(); return TRUE;
        case IDC_CHECK_PREVIEW_HANDLER: OnCheckPreviewHandler(); return TRUE;
      }
      break;
  }
  return CDialogEx::HandleMessage(message, wParam, lParam);
}

// The whole initial filling. It ignores the direction, so the OK command
// (Enter) runs it once more just before the dialog closes.
void CSorvaneSettingsDlg::DoDataExchange(bool /*saveAndValidate*/) {
  FillTypeLists(*this);
  SetDlgItemTextW(m_hWnd, IDC_FILE_TYPE, L".");
  SetCheck(IDC_SHOW_AXIS, ReadDisplayOption(DisplayOption::ShowAxis));
  SetCheck(IDC_SHOW_COMMENT, ReadDisplayOption(DisplayOption::ShowComment));
  SetCheck(IDC_SHOW_TYPE, ReadDisplayOption(DisplayOption::ShowType));
  SetDlgItemTextW(m_hWnd, IDC_VERSION, L"V2.01");
}

BOOL CSorvaneSettingsDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
  return TRUE;  // the focus goes to the first tab stop, the Close button
}

// Minimised, the dialog draws its icon centred in the client area; otherwise
// the default painting does the work.
BOOL CSorvaneSettingsDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, m_icon);
  EndPaint(m_hWnd, &paint);
  return TRUE;
}

HICON CSorvaneSettingsDlg::OnQueryDragIcon() { return m_icon; }

void CSorvaneSettingsDlg::OnAddFileType() { AddFileType(*this, GetItemText(IDC_FILE_TYPE)); }

void CSorvaneSettingsDlg::OnRemoveThumbnailType() { RemoveSelectedType(*this, TypeList::Thumbnail); }

void CSorvaneSettingsDlg::OnRemovePreviewType() { RemoveSelectedType(*this, TypeList::Preview); }

void CSorvaneSettingsDlg::OnShowAxis() {
  WriteOptionFromCheckState(DisplayOption::ShowAxis, GetCheck(IDC_SHOW_AXIS));
}

void CSorvaneSettingsDlg::OnShowComment() {
  WriteOptionFromCheckState(DisplayOption::ShowComment, GetCheck(IDC_SHOW_COMMENT));
}

void CSorvaneSettingsDlg::OnShowType() {
  WriteOptionFromCheckState(DisplayOption::ShowType, GetCheck(IDC_SHOW_TYPE));
}

void CSorvaneSettingsDlg::OnCheckThumbnailProvider() {
  CheckProvider(*this, kThumbnailProviderClassId);
}

void CSorvaneSettingsDlg::OnCheckPreviewHandler() { CheckProvider(*this, kPreviewHandlerClassId); }

void CSorvaneSettingsDlg::ShowMessage(const std::wstring& text, UINT style) {
  AfxMessageBox(text, style);
}

TypeListBox& CSorvaneSettingsDlg::GetTypeListBox(TypeList list) {
  return list == TypeList::Thumbnail ? m_thumbnailTypes : m_previewTypes;
}

void CSorvaneSettingsDlg::SetCheck(int id, bool set) {
  SendDlgItemMessageW(m_hWnd, id, BM_SETCHECK, set ? BST_CHECKED : BST_UNCHECKED, 0);
}

LRESULT CSorvaneSettingsDlg::GetCheck(int id) const {
  return SendDlgItemMessageW(m_hWnd, id, BM_GETCHECK, 0, 0);
}

std::wstring CSorvaneSettingsDlg::GetItemText(int id) const {
  HWND item = GetDlgItem(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
  return text;
}

void CSorvaneSettingsDlg::DialogListBox::ResetContent() { Send(LB_RESETCONTENT, 0, 0); }

void CSorvaneSettingsDlg::DialogListBox::AddString(const std::wstring& text) {
  Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int CSorvaneSettingsDlg::DialogListBox::GetCurSel() const {
  return static_cast<int>(Send(LB_GETCURSEL, 0, 0));
}

std::wstring CSorvaneSettingsDlg::DialogListBox::GetText(int index) const {
  const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

LRESULT CSorvaneSettingsDlg::DialogListBox::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  return SendDlgItemMessageW(m_dialog.GetSafeHwnd(), m_id, message, wParam, lParam);
}
