// Numeric identifiers of the resources in skimlet.rc. Plain macros, because the resource compiler
// reads this file too. The icon of file-type key i (in the order of the classification table)
// is 102 + i; the first is the program's own icon.
#pragma once

#define IDI_1LOGO 102
#define IDI_AVI 103
#define IDI_BAT 104
#define IDI_BMP 105
#define IDI_C 106
#define IDI_CHK 107
#define IDI_COM 108
#define IDI_CPP 109
#define IDI_CUR 110
#define IDI_DBF 111
#define IDI_DIB 112
#define IDI_DISK 113
#define IDI_DLL 114
#define IDI_DOC 115
#define IDI_DOCX 116
#define IDI_EXE 117
#define IDI_FUND 118
#define IDI_GIF 119
#define IDI_H 120
#define IDI_HLP 121
#define IDI_HTM 122
#define IDI_HTML 123
#define IDI_INF 124
#define IDI_INI 125
#define IDI_ISDIR 126
#define IDI_JPEG 127
#define IDI_JPG 128
#define IDI_LIB 129
#define IDI_LNK 130
#define IDI_LOG 131
#define IDI_MP3 132
#define IDI_MP4 133
#define IDI_MPV 134
#define IDI_PDF 135
#define IDI_PNG 136
#define IDI_PPT 137
#define IDI_PPTX 138
#define IDI_RAR 139
#define IDI_RECY 140
#define IDI_SYS 141
#define IDI_TTF 142
#define IDI_TXT 143
#define IDI_URL 144
#define IDI_VB 145
#define IDI_WAV 146
#define IDI_XLS 147
#define IDI_XLSX 148
#define IDI_XML 149
#define IDI_ZIP 150

#define IDI_FIRST_ICON IDI_1LOGO
#define IDI_LAST_ICON IDI_ZIP
#define IDB_QRCODE 151
