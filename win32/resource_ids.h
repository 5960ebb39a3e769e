#pragma once
// Numbers of the window's resources and controls, shared by the resource
// script and the code. Plain #defines: the resource compiler reads this too.

#define IDI_KV9UPDATE 1

// Main window commands: every item of the window model's rows is
// IDM_ITEM_BASE + its row's index (window/menu_rows.h); the tool button is
// IDC_TB_WRITE.
#define IDM_ITEM_BASE 4000

// Main window controls.
#define IDC_TB_WRITE 2001
#define IDC_STADDR 2002
#define IDC_STTITLE 2003
#define IDC_CGAUGE1 2004
#define IDC_SPTMEMO 2005
#define IDC_STATUSBAR 2006
#define IDC_TOOLBAR 2007

// Dialogs.
#define IDD_OPENCOM1 200
#define IDD_CONFERR 201
#define IDD_GUAGE1 202
#define IDD_CONFIRM1 203
#define IDD_CONFIG 204
#define IDD_PORTSET 205
#define IDD_ABOUT 206

// Port-open dialog.
#define IDC_LABEL1 3001
#define IDC_STCOMPORT 3002
#define IDC_LBCOMPORT 3003
#define IDC_AUTOCHECK 3004
#define IDC_CHECKPORT 3005
#define IDC_MNBTERR 3006
#define IDC_STATICTEXT1 3007
#define IDC_CB_WRSPEED 3008
#define IDC_RGCOMSPEED 3009
#define IDC_COMSPEED0 3010  // .. 3013, the four re-write speeds

// Re-write settings.
#define IDC_CBREWRITE 3101
#define IDC_MEMO1 3102

// Search and progress windows.
#define IDC_GLABEL1 3201
#define IDC_GPROGRESS 3202
#define IDC_GBUTTON1 3203
#define IDC_PLABEL1 3301
#define IDC_PLABEL2 3302
#define IDC_PADVICE 3303

// Settings dialog.
#define IDC_TABS 3400
#define IDC_CBSELCPU 3401
#define IDC_CBROMSIZE 3402
#define IDC_EDFREQ 3403
#define IDC_EDTEIBAI1 3404
#define IDC_EDTEIBAI2 3405
#define IDC_EDSPEED 3406
#define IDC_EDRESTIME 3407
#define IDC_PROGSPEED0 3410  // .. 3414, the five R/W speeds
#define IDC_DISPDEBUG 3420
#define IDC_DISPTX 3421
#define IDC_DISPREC 3422
#define IDC_CBINIT 3423
#define IDC_CBINITSCAN 3424
#define IDC_MCU_FIRST 3430  // labels of the MCU page
#define IDC_PROG_FIRST 3450 // group boxes of the program page

// Port settings and About box.
#define IDC_COMCOMBO 3501
#define IDC_BTCHECKPORT 3502
#define IDC_PRODUCTNAME 3601
#define IDC_VERSION 3602
