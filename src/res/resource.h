// Resource and control ids. Shared by the resource script and the C++ code.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 140
#define IDD_KIVOALBUM_DIALOG 142
#define IDD_LOGIN_BROWSER 149
#define IDD_QUESTION 151

// Icon of the program and of its windows.
#define IDR_MAINFRAME 148

// The skin engine's two files, carried inside the program (type "SKIN").
#define IDR_SKIN_DATA 158
#define IDR_SKIN_LIBRARY 159

// Strings.
#define IDS_ABOUTBOX 141
#define IDS_APP_TITLE 57344

// System menu command of the about box.
#define IDM_ABOUTBOX 0x0010

// Main window controls.
#define IDC_EDIT_UIN 1001
#define IDC_BUTTON_VIEW 1002
#define IDC_LIST_ALBUMS 1003
#define IDC_RICHEDIT_LOG 1006
#define IDC_BUTTON_DOWNLOAD 1007
#define IDC_LINK_UPDATE 1017

// Login browser dialog.
#define IDC_BROWSER 1000

// Question dialog of a protected album: its face, button faces and controls.
#define IDB_QUESTION_STATIC 132
#define IDB_QUESTION_FACE 152
#define IDB_BUTTON_NORMAL 153
#define IDB_BUTTON_HOVER 154
#define IDB_CLOSE_NORMAL 155
#define IDB_CLOSE_HOVER 156
#define IDC_ANSWER 1009
#define IDC_VERIFY_CODE 1010
#define IDC_QUESTION 1011
#define IDC_LINK_NEW_PICTURE 1012
#define IDC_QUESTION_FACE 1013
#define IDC_PICTURE_PLACE 1014
#define IDC_CLOSE 1015
// File download dialog of the update (English texts).
#define IDD_HTTP_DOWNLOAD 124
#define IDR_DOWNLOAD_ANIMATION 126
#define IDC_DL_ANIMATION 1020
#define IDC_DL_STATUS 1021
#define IDC_DL_FILE 1022
#define IDC_DL_PROGRESS 1023
#define IDC_DL_TIME_LEFT 1024
#define IDC_DL_RATE 1025
#define IDS_DL_FILE_FROM 102
#define IDS_DL_CONNECTED 103
#define IDS_DL_RESOLVING 104
#define IDS_DL_RESOLVED 105
#define IDS_DL_CONNECTING 106
#define IDS_DL_REDIRECTING 107
#define IDS_DL_GETTING_INFO 108
#define IDS_DL_OPEN_FAILED 110
#define IDS_DL_CONNECT_FAILED 111
#define IDS_DL_NO_RESPONSE 112
#define IDS_DL_BAD_STATUS 113
#define IDS_DL_TRANSFER_FAILED 114
#define IDS_DL_PERCENT_CAPTION 115
#define IDS_DL_RETRIEVING 116
#define IDS_DL_COPIED_OF 117
#define IDS_DL_SECONDS 118
#define IDS_DL_MINUTES 119
#define IDS_DL_MINUTES_SECONDS 120
#define IDS_DL_BYTES 121
#define IDS_DL_KB 123
#define IDS_DL_MB 125
#define IDS_DL_TIME_LEFT 127
#define IDS_DL_BYTES_PER_SEC 128
#define IDS_DL_KB_PER_SEC 129
#define IDS_DL_OVERWRITE 130
#define IDS_DL_TARGET_FAILED 131
#define IDS_DL_ABORTING 132
