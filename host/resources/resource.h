// Resource ids shared by the resource script and the plug-in's code.

// String table
#define IDS_LIBDESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3
#define IDS_PARAMS 4
#define IDS_ABOUT 6
#define IDS_TYPE 7
#define IDS_WHOLE_SHAPES 8

// Dialog templates and bitmaps
#define IDD_PANEL 101
#define IDB_ABOUT 102
#define IDD_ABOUT 109

// Controls of the Parameters rollout
#define IDC_SPLINE_LIST 1001
#define IDC_ADD 1002
#define IDC_UNION 1004
#define IDC_INTERSECT 1005
#define IDC_SUBTR_A 1006
#define IDC_SUBTR_B 1007
#define IDC_REMOVE 1496
#define IDC_THRESHOLD_EDIT 1501
#define IDC_THRESHOLD_SPIN 1502
#define IDC_WHOLE_SHAPES 1503
#define IDC_STATUS 1504

// Controls of the About rollout
#define IDC_CHECK_UPDATE 1011
#define IDC_VERSION 1013
#define IDC_ABOUT_IMAGE 1033
