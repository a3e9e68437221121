// The settings dialog: window code only. Each button's work lives in
// SettingsActions, which sees the dialog through the SettingsView interface.
#pragma once
#include "DialogFramework.h"
#include "SettingsActions.h"

class CSorvaneSettingsDlg : public CDialogEx, private SettingsView {
 public:
  explicit CSorvaneSettingsDlg(HWND parent = nullptr);

 protected:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DoDataExchange(bool saveAndValidate) override;
  BOOL OnInitDialog() override;

 private:
  // A list box of the dialog, found by its id whenever it is used.
  class DialogListBox final : public TypeListBox {
   public:
    DialogListBox(const CDialogEx& dialog, int id) : m_dialog(dialog), m_id(id) {}
    void ResetContent() override;
    void AddString(const std::wstring& text) override;
    int GetCurSel() const override;
    std::wstring GetText(int index) const override;

   private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    const CDialogEx& m_dialog;
    int m_id;
  };

  // SettingsView
  void ShowMessage(const std::wstring& text, UINT style) override;
  TypeListBox& GetTypeListBox(TypeList list) override;

  BOOL OnPaint();
  HICON OnQueryDragIcon();
  void OnAddFileType();
  void OnRemoveThumbnailType();
  void OnRemovePreviewType();
  void OnShowAxis();
  void OnShowComment();
  void OnShowType();
  void OnCheckThumbnailProvider();
  void OnCheckPreviewHandler();

  void SetCheck(int id, bool set);
  LRESULT GetCheck(int id) const;
  std::wstring GetItemText(int id) const;

  HICON m_icon;
  DialogListBox m_thumbnailTypes;
  DialogListBox m_previewTypes;
};
