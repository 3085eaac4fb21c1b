#ifndef SCORVANE_RES_RESOURCE_IDS_H
#define SCORVANE_RES_RESOURCE_IDS_H
/* Resource and control identifiers, shared by the C++ code and the resource
   scripts: plain #define lines only, which the resource compiler also reads. */

/* Icon group: 32 x 32 and 16 x 16, 8 bits per pixel. */
#define IDI_VEMO 128

/* The settings dialog template and its controls. */
#define IDD_SETTINGS 102
#define IDC_INFO 1000
#define IDC_CHAMPIONSHIP 1003
#define IDC_CHAMPIONSHIP_LABEL 1020
#define IDC_CLUB 1004
#define IDC_ROTATION 1005
#define IDC_CLUB_LABEL 1021
#define IDC_ROTATION_LABEL 1022

/* Shape of both ball buttons: 46 x 46, 1 bit, a black disc on pure white. */
#define IDB_BALL_MASK 138
/* The settings dialog's background: 500 x 375, 8 bits. */
#define IDB_STADIUM 140
/* OK button faces, yellow ball on white: 48 x 48, 8 bits. */
#define IDB_YELLOW_BALL 143
#define IDB_YELLOW_BALL_PRESSED 146
#define IDB_YELLOW_BALL_OVER 147
/* Cancel button faces, black-and-white ball on black: 48 x 48, 8 bits.
   The normal face is also the board's falling ball. */
#define IDB_BALL 148
#define IDB_BALL_PRESSED 154
#define IDB_BALL_OVER 155
/* The board's small flying ball: 20 x 20, 8 bits. */
#define IDB_SMALL_BALL 153
/* Club emblems on black, 8 bits: 100 pixels wide except one of 82. */
#define IDB_EMBLEM_FIRST 156
#define IDB_EMBLEM_01 156
#define IDB_EMBLEM_02 157
#define IDB_EMBLEM_03 158
#define IDB_EMBLEM_04 159
#define IDB_EMBLEM_05 160
#define IDB_EMBLEM_06 161
#define IDB_EMBLEM_07 162
#define IDB_EMBLEM_08 163
#define IDB_EMBLEM_09 164
#define IDB_EMBLEM_10 165
#define IDB_EMBLEM_11 166
#define IDB_EMBLEM_12 167
#define IDB_EMBLEM_13 168
#define IDB_EMBLEM_14 169
#define IDB_EMBLEM_LAST 169
#define IDB_EMBLEM_COUNT 14

#endif
