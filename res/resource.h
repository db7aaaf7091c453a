#pragma once
// Resource, control and message ids, shared by the resource script and the code.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_GATEKEEL_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_EULA 132
#define IDD_ADDEDIT 133
#define IDD_IMPORT_PROGRESS 136

// About box
#define IDC_ABOUT_OK 1000
#define IDC_AGREEMENT 1001

// Main dialog
#define IDC_REFRESH 1000
#define IDC_MAPPING_TREE 1002
#define IDC_SSDP_BUTTON 1005
#define IDC_SSDP_STATUS 1007
#define IDC_DHCP_STATUS 1008
#define IDC_ADD 1010
#define IDC_EDIT 1011
#define IDC_DELETE 1012
#define IDC_OS_STATUS 1019
// Commands that keys and the list's menu give (no control carries them)
#define ID_TOGGLE_MAPPING 32771
#define ID_COPY_MAPPING 32772
#define ID_MAPPING_MENU 32773
#define ID_EXPORT_LIST 32774
#define ID_IMPORT_LIST 32775

// The main window's own messages, posted to it with wParam 0
#define WMU_REFILL_TREE (WM_USER + 1)
#define WMU_SHOW_MAPPING (WM_USER + 2)  // lParam: record index
#define WMU_CLEAR_TREE (WM_USER + 3)
#define WMU_TRAVERSAL_DONE (WM_USER + 4)

// Add/Edit dialog
#define IDC_DESCRIPTION 1013
#define IDC_EXTERNAL_PORT 1014
#define IDC_INTERNAL_CLIENT 1015
#define IDC_INTERNAL_PORT 1016
#define IDC_TCP 1017
#define IDC_UDP 1018

// The import's progress dialog
#define IDC_IMPORT_STEP 1020
#define IDC_IMPORT_BAR 1021

// Add/Edit dialog validation texts
#define IDS_ENTER_POSITIVE_INTEGER 134
#define IDS_ENTER_INTEGER_BETWEEN 135

// Controls the code never looks up
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The custom resource type of the agreement document.
#define RT_EULA "EULA"
