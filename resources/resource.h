/* Identifiers shared by ringfeed.rc and the C++ code.
   Plain #defines only: windres reads this file as well as the compiler. */
#ifndef RINGFEED_RESOURCE_H
#define RINGFEED_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Dialogs */
#define IDD_CONTROL              101
#define IDD_INPUT                102
#define IDD_OVERLAY              106
#define IDD_PREVIEW              107
#define IDD_ABOUT                901

/* Menus; 106 is also a dialog number, which Windows keeps apart by type */
#define IDR_WINDOW_MENU          105
#define IDR_TRAY_MENU            106

/* Icon */
#define IDI_PROGRAM              103

/* Control window (dialog 101). ID 1 is IDOK so that Enter presses it.
   The check box and size combo carry a suffix because winuser.h already
   defines IDC_WAIT and IDC_SIZE as cursors. */
#define IDC_START                1
#define IDC_BROWSE               1001
#define IDC_PLAY                 1002
#define IDC_WAIT_CHECK           1012
#define IDC_DRIVE                1021
#define IDC_SIZE_COMBO           1022
#define IDC_PRIORITY             1028
#define IDC_PRIORITY_SPIN        1029
#define IDC_PAUSE                1030
#define IDC_INPUT_PATH           1031
#define IDC_MARGIN               1032
#define IDC_PAUSE_SPIN           1033
#define IDC_PROGRESS_FRAME       1041
#define IDC_PROGRESS_FILLED      1042
#define IDC_PROGRESS_EMPTY       1043
#define IDC_POSITION_BAR         1051
#define IDC_OUTPUT_SIZE          1061
#define IDC_POSITION_TEXT        1062
#define IDC_PRIORITY_LABEL       1063
#define IDC_DRIVE_LABEL          1064
#define IDC_SIZE_LABEL           1065
#define IDC_MARGIN_LABEL         1066

/* The overlay (dialog 106) reuses the progress IDs of the Control window:
   IDC_PROGRESS_FRAME (hidden, only measured), IDC_PROGRESS_FILLED and
   IDC_PROGRESS_EMPTY. */

/* Input dialog child template (dialog 102). Several numbers repeat those of
   dialog 101; the two dialogs never share a parent, so they cannot clash. */
#define IDC_IN_FROM_HEAD         1011
#define IDC_IN_KEEP_TAIL         1012
#define IDC_IN_START             1013
#define IDC_IN_FOLDERS           1034
#define IDC_IN_DELETE            1036
#define IDC_IN_VIDEO             1037
#define IDC_IN_AUDIO             1038
#define IDC_IN_DELAY             1039
#define IDC_IN_DELAY_SPIN        1040
#define IDC_IN_DELAY_UNIT        1041
#define IDC_IN_PERCENT           1062
#define IDC_IN_SHOW              22060
#define IDC_IN_BAR               28003
#define IDC_IN_FRAME             30028

/* About box (dialog 901) */
#define IDC_ABOUT_ICON           9010
#define IDC_ABOUT_VERSION        9011

/* Menu commands. 1 and 1002 are the Start/Stop and play buttons' own IDs,
   so the tray menu and the buttons share one WM_COMMAND path. */
#define IDM_START                1
#define IDM_PLAY                 1002
#define IDM_ABOUT                40002
#define IDM_SERIAL               40004
#define IDM_TOPMOST              40006
#define IDM_NOSTOP               40007
#define IDM_HEAD                 40008
#define IDM_TIPS                 40009
#define IDM_CLEAR                40010
#define IDM_PROGRESS             40012
#define IDM_EXIT                 40013
#define IDM_BROWSE               40014

/* Priority -8..8 is IDM_PRIORITY_ZERO + value */
#define IDM_PRIORITY_FIRST       40015
#define IDM_PRIORITY_ZERO        40023
#define IDM_PRIORITY_LAST        40031

/* Pause frequency -5..5 is IDM_PAUSE_ZERO + value */
#define IDM_PAUSE_FIRST          40032
#define IDM_PAUSE_ZERO           40037
#define IDM_PAUSE_LAST           40042

#define IDM_WAIT                 40045

/* Size exponent 28..31 is IDM_SIZE_FIRST + (exponent - 28) */
#define IDM_SIZE_FIRST           40046
#define IDM_SIZE_LAST            40049

/* Drive 'A'..'Z' is IDM_DRIVE_FIRST + (letter - 'A'); the resource holds
   only the placeholder for A, the rest are added at run time. */
#define IDM_DRIVE_FIRST          50000
#define IDM_DRIVE_LAST           50025

#endif
