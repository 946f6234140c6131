// System functions the programs need only now and then, taken from their DLL when
// first called instead of through the import table. Under Wine each DLL a program
// imports is mapped and initialised before the program runs: shell32, comdlg32
// and msimg32, with the DLLs they bring (shlwapi, shcore, winspool, compstui),
// cost a start about as much as a small program's whole start, for a file dialog,
// a launch and one blend.
#pragma once
#include <windows.h>
#include <commdlg.h>

namespace platform {

// ShellExecuteW; SE_ERR_DLLNOTFOUND when shell32 cannot be had.
HINSTANCE LateShellExecuteW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show);
// GetOpenFileNameW and GetSaveFileNameW; FALSE when comdlg32 cannot be had.
BOOL LateGetOpenFileNameW(OPENFILENAMEW* request);
BOOL LateGetSaveFileNameW(OPENFILENAMEW* request);
// AlphaBlend; FALSE when msimg32 cannot be had.
BOOL LateAlphaBlend(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION blend);

}  // namespace platform
