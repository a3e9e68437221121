#include "SorvaneSettingsApp.h"

#include <commctrl.h>

#include "PackageSwitches.h"
#include "SettingsActions.h"
#include "SorvaneSettingsDlg.h"

// The one application object, constructed before wWinMain runs.
static CSorvaneSettingsApp theApp;

CSorvaneSettingsApp::CSorvaneSettingsApp() : m_restartManagerSupportFlags(kRestartSupport) {}

BOOL CSorvaneSettingsApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);
  if (m_restartManagerSupportFlags & kRestartSupport) {
    // Lets the system restart the program after an update or a crash.
    RegisterApplicationRestart(nullptr, 0);
  }

  // On a fresh machine nothing else creates the settings folder and the list
  // files, and every addition would fail; existing lists stay as they are.
  PrepareSettingsFolder();

  CSorvaneSettingsDlg dialog;
  AfxSetMainWnd(&dialog);
  dialog.DoModal();
  AfxSetMainWnd(nullptr);
  return FALSE;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // The package's jobs run without a window; any other command line shows
  // the dialog, as starting the program without one does.
  int exitCode = 0;
  if (RunPackageSwitch(commandLine, exitCode)) return exitCode;
  theApp.InitInstance();
  return 0;
}
