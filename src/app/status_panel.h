// The transfer status panel: a painted area of the main window, not a window of its own.
#pragma once
#include <windows.h>

// Where the panel sits in the main window's client area.
constexpr RECT StatusPanelRect = {270, 10, 590, 260};

// The main window's timer that keeps the panel repainted.
constexpr UINT_PTR PanelTimer = 1;

void OnPanelTimer(HWND window);   // WM_TIMER: marks the panel, background kept
void PaintStatusPanel(HWND window);  // WM_PAINT: banner and the transfer line
