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
