// Resource and command ids, shared by velto.rc, the program and the test driver.
#pragma once

#define IDR_MAINMENU 101
#define IDI_MAINICON 102
#define IDB_BANNER 105

#define IDM_CONNECT 40001
#define IDM_EXIT 40002
#define IDM_ABOUT 40003
#define IDM_DISCONNECT 40004

// Control ids that the code tests.
#define IDC_FILELIST 1
#define IDC_ADDRESS 1
#define IDC_CONNECTBUTTON 3
