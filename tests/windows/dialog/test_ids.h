#ifndef SCORVANE_TESTS_WINDOWS_DIALOG_TEST_IDS_H
#define SCORVANE_TESTS_WINDOWS_DIALOG_TEST_IDS_H
/* The tests' own dialog template and its controls; read by the resource
   compiler too. */

#define IDD_TEST_STYLES 901

#define IDC_TEST_PUSH 910
#define IDC_TEST_DEFPUSH 911
#define IDC_TEST_CHECK 912
#define IDC_TEST_AUTOCHECK 913
#define IDC_TEST_RADIO 914
#define IDC_TEST_3STATE 915
#define IDC_TEST_AUTO3STATE 916
#define IDC_TEST_GROUPBOX 917
#define IDC_TEST_OWNERDRAW 918
#define IDC_TEST_RADIO_A 920
#define IDC_TEST_RADIO_B 921
#define IDC_TEST_RADIO_C 922
#define IDC_TEST_LABEL 930

#endif
