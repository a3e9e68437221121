// The application object: starts the common controls, prepares the settings
// folder and runs the settings dialog once.
#pragma once
#include <windows.h>

class CSorvaneSettingsApp {
 public:
  CSorvaneSettingsApp();
  virtual ~CSorvaneSettingsApp() = default;

  // Runs the dialog; false ends the program afterwards.
  virtual BOOL InitInstance();

 private:
  // Restart-manager support: restart alone, no automatic saving or recovery.
  static constexpr DWORD kRestartSupport = 1;
  DWORD m_restartManagerSupportFlags;
};
