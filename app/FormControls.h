// The controls of the main window: their fixed IDs, and their handles by role.
#pragma once
#include <windows.h>

#include <string>

namespace app {

// Control IDs: fixed, so that other processes can find a component by ID as well as by
// its "Name" property.
enum ControlId : int {
  idPanel1 = 1001, idImage1, idBtnHomepage, idBtnOverview, idLabel13,
  idPageControl1 = 1100,
  idTabSheet1 = 1101, idPanel2, idImage2, idLabel4, idImage3, idImage6, idPanel6, idLabel6,
  idLabel5, idLabel12, idPanel7, idProgressBar1, idButton1, idPanel5, idLabel7, idLabel8,
  idLabel9, idLabel11, idImage5, idLabel10, idVTCleanResult, idLblReClean, idChkAutoShutdown,
  idPanel4, idVTLog, idPanel3, idLabel16, idNoteMemo, idLabel17,
  idTabSheet2 = 1201, idVTTraceOption, idVTTraceResult, idLabel1, idLabel2, idLabel3,
  idButtonScanTrace, idButtonDelAllTrace, idButtonCleanOneKey, idButton3,
  idStat1 = 1301,
};

// Each member is named after the component's "Name"; the four trees are VirtualTree
// objects of the window and not listed here. Filled once, when the layout is made.
struct FormControls {
  // The top bar with the page buttons.
  HWND panel1 = nullptr, image1 = nullptr, btnHomepage = nullptr, btnOverview = nullptr,
       label13 = nullptr;
  HWND tabSheet1 = nullptr, tabSheet2 = nullptr;
  // Home page: the verdict panel with its summary lines and the one-key progress.
  HWND image2 = nullptr, image3 = nullptr, image6 = nullptr, label4 = nullptr,
       panel6 = nullptr, label6 = nullptr, label5 = nullptr, label12 = nullptr,
       panel7 = nullptr, progressBar1 = nullptr, button1 = nullptr;
  // Home page: the body with the one-key link, and the notes column.
  HWND panel5 = nullptr, label7 = nullptr, label8 = nullptr, label9 = nullptr,
       label11 = nullptr, image5 = nullptr, label10 = nullptr, lblReClean = nullptr,
       chkAutoShutdown = nullptr;
  HWND panel3 = nullptr, label16 = nullptr, noteMemo = nullptr, label17 = nullptr;
  // Advanced page.
  HWND label1 = nullptr, label2 = nullptr, label3 = nullptr, buttonCleanOneKey = nullptr,
       buttonScanTrace = nullptr, buttonDelAllTrace = nullptr, button3 = nullptr;
  HWND stat1 = nullptr;
};

}  // namespace app
