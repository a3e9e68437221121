// Resource identifiers of the settings program, shared by the .rc file, the
// dialog code and the tests that inspect the compiled resources.
#pragma once

#define IDD_SORVANESETTINGS_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_FILE_TYPE 1000
#define IDC_ADD_FILE_TYPE 1001
#define IDC_REGISTER_GROUP 1002
#define IDC_FILE_TYPE_LABEL 1003
#define IDC_THUMBNAIL_TYPES 1004
#define IDC_REMOVE_THUMBNAIL_TYPE 1005
#define IDC_THUMBNAIL_GROUP 1006
#define IDC_THUMBNAIL_TYPES_LABEL 1007
#define IDC_SHOW_AXIS 1008
#define IDC_SHOW_COMMENT 1009
#define IDC_SHOW_TYPE 1010
#define IDC_VERSION 1014
#define IDC_CHECK_THUMBNAIL_PROVIDER 1015
#define IDC_CHECK_PREVIEW_HANDLER 1016
#define IDC_PREVIEWER_GROUP 1019
#define IDC_PREVIEW_TYPES 1020
#define IDC_PREVIEW_TYPES_LABEL 1021
#define IDC_REMOVE_PREVIEW_TYPE 1022

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
