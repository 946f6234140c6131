// Resource and command ids of the tray program (tray/resources.rc).
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TRAY_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 129
#define IDI_TRAYICON 131

#define ID_LOAD_CONFIGURATOR 32770
#define ID_PROFILE_FIRST 32771
#define ID_PROFILE_LAST 32781
#define ID_EXIT_TRAY 33000
#define IDM_ABOUTBOX 0x0010
