// The status panel: the banner and the transfer's byte counts, repainted on every timer tick.
#include "app/status_panel.h"

#include <string>

#include "app/app.h"
#include "app/panel_text.h"
#include "client/conversation.h"

void OnPanelTimer(HWND window)
{
    // No erase: the paint covers the whole panel, so it does not flicker.
    InvalidateRect(window, &StatusPanelRect, FALSE);
    ShowProgressSteps();
}

void PaintStatusPanel(HWND window)
{
    const int width = StatusPanelRect.right - StatusPanelRect.left;
    const int height = StatusPanelRect.bottom - StatusPanelRect.top;

    PAINTSTRUCT paint;
    HDC windowDc = BeginPaint(window, &paint);

    // Composed off-screen and copied in one step.
    HBITMAP canvas = CreateCompatibleBitmap(windowDc, width, height);
    HDC canvasDc = CreateCompatibleDC(windowDc);
    SelectObject(canvasDc, canvas);

    RECT all = {0, 0, width, height};
    FillRect(canvasDc, &all, BackgroundBrush);
    SetBkMode(canvasDc, TRANSPARENT);
    SetTextColor(canvasDc, RGB(255, 0, 0));
    std::string text;
    if (PanelText(BytesDone, BytesTotal, text))
        TextOutA(canvasDc, 10, 120, text.c_str(), static_cast<int>(text.size()));

    HDC bannerDc = CreateCompatibleDC(windowDc);
    SelectObject(bannerDc, BannerBitmap);
    StretchBlt(canvasDc, 0, 0, width, 108, bannerDc, 0, 0, 340, 100, SRCCOPY);

    BitBlt(windowDc, StatusPanelRect.left, StatusPanelRect.top, width, height, canvasDc, 0, 0,
           SRCCOPY);
    EndPaint(window, &paint);

    // Everything made here goes before the paint returns; the banner stays (it is shared).
    // Deleting the contexts lets go of their bitmaps: selecting the old ones back would cost
    // two more selections per paint (under Wine each one reads the display's settings anew).
    DeleteDC(canvasDc);
    DeleteDC(bannerDc);
    DeleteObject(canvas);
}
