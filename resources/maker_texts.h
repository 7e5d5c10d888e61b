// Texts that the program's maker supplies: the product site, the contact address and the notice
// line of the about window. The addresses are placeholders under the reserved example.org domain
// until the maker's real ones are known; the QR-code picture encodes ProductWebAddress, so
// make-qrcode.sh must be run again whenever it changes.
#pragma once

inline constexpr wchar_t ProductWebAddress[] = L"https://skimlet.example.org/";
inline constexpr wchar_t MakerEmailAddress[] = L"support@skimlet.example.org";
inline constexpr wchar_t MakerNoticeLine[] = L"Copyright © 2026 The Skimlet Authors";
