// Identifiers of the program's resources, shared by mirelink.rc and the code.
#pragma once

// Dialog templates
#define IDD_OPTIONS 101
#define IDD_ABOUT 105
#define IDD_PROGRESS 124

// Menu, icons, picture
#define IDR_TRAY_MENU 103
#define IDI_PROGRAM 104
#define IDI_TRAY_STILL 109  // the first of the eight tray frames
#define IDI_TRAY_FRAME2 110
#define IDI_TRAY_FRAME3 111
#define IDI_TRAY_FRAME4 112
#define IDI_TRAY_FRAME5 113
#define IDI_TRAY_FRAME6 114
#define IDI_TRAY_FRAME7 115
#define IDI_TRAY_LAST 116
#define IDB_ABOUT 123

// Tray menu commands
#define ID_CLEAR_LOG 119
#define ID_OPTIONS 40001
#define ID_EXIT 40002
#define ID_HELP 40003
#define ID_ABOUT 40005
#define ID_VIEW_LOG 40007

// Options dialog
#define IDC_ADDRESS 1000
#define IDC_ADDRESS_LABEL 1001
#define IDC_POP_PORT_LABEL 1002
#define IDC_POP_PORT 1003
#define IDC_TIMEOUT_LABEL 1004
#define IDC_TIMEOUT 1005
#define IDC_SECONDS_LABEL 1006
#define IDC_DELAY_LABEL 1007
#define IDC_DELAY 1008
#define IDC_START_WITH_WINDOWS 1009
#define IDC_EXTRA_LOGGING 1010
#define IDC_MS_LABEL 1011
#define IDC_SMTP_PORT_LABEL 1012
#define IDC_SMTP_PORT 1013
#define IDC_DETAILS_GROUP 1014
#define IDC_PROXY_GROUP 1015
#define IDC_PROXY_ADDRESS_LABEL 1016
#define IDC_PROXY_ADDRESS 1017
#define IDC_PROXY_PORT_LABEL 1018
#define IDC_PROXY_PORT 1019
#define IDC_PROXY_USERNAME_LABEL 1020
#define IDC_PROXY_USERNAME 1021
#define IDC_PROXY_PASSWORD_LABEL 1022
#define IDC_PROXY_PASSWORD 1023
#define IDC_OTHER_FOLDERS 1024
#define IDC_BULK_FOLDER 1025
#define IDC_OPERA_COMPAT 1026
#define IDC_SENT_FOLDER 1027
#define IDC_IMAP_PORT_LABEL 1028
#define IDC_IMAP_PORT 1029
#define IDC_IMAP_OFF_LABEL 1030

// About box
#define IDC_HOME_PAGE 1008

// Progress dialog
#define IDC_PROGRESS_BAR 1032

// Labels the code never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
