// Resource and control ids of the installer's dialogs, shared by the .rc file and the code.
#pragma once

#define IDD_INSTALLER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_LICENSE 129

// Main dialog (template 102).
#define IDC_PROGRESS 1000
#define IDC_TITLE 1001
#define IDC_FOLDER 1002
#define IDC_BROWSE 1004
#define IDC_INSTALL_NOW 1005
#define IDC_COPYRIGHT 1007

// Licence dialog (template 129).
#define IDC_LICENSE_PLACEHOLDER 1006

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
