// The donation window and the QR-code window it opens. The donation window thanks the user and
// offers a button that shows the payment QR code; it is opened modally over the main window with
// the class "DonationWindow", title "捐赠", 420 x 250.
#pragma once

#include <windows.h>

LRESULT CALLBACK DonationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The QR-code window: the picture of bitmap resource 151, painted afresh on every WM_PAINT.
LRESULT CALLBACK QRcodeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the QR-code window modally over the donation window and returns when it is closed.
void OpenQRcodeWindow(HWND donationWindow);
