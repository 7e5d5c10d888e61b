// Command ids of the menu bar and the row context menu, the control ids of the main window and
// its private tray message. Shared by every file of the user interface.
#pragma once

#include <cstdint>

constexpr uint16_t IDM_NEW_WINDOW = 40001;
constexpr uint16_t IDM_EXPORT = 40002;
constexpr uint16_t IDM_CLOSE_TO_TRAY = 40003;
constexpr uint16_t IDM_EXIT = 40004;
constexpr uint16_t IDM_CENTER_WINDOW = 40005;
constexpr uint16_t IDM_SORT_NAME = 40006;
constexpr uint16_t IDM_SORT_PATH = 40007;
constexpr uint16_t IDM_SORT_SIZE = 40008;
constexpr uint16_t IDM_SORT_CREATED = 40009;
constexpr uint16_t IDM_SORT_MODIFIED = 40010;
constexpr uint16_t IDM_ASCENDING = 40011;
constexpr uint16_t IDM_DESCENDING = 40012;
constexpr uint16_t IDM_CASE_INSENSITIVE = 40013;
constexpr uint16_t IDM_CASE_SENSITIVE = 40014;
constexpr uint16_t IDM_TYPE_ALL = 40015;
constexpr uint16_t IDM_TYPE_AUDIO = 40016;
constexpr uint16_t IDM_TYPE_COMPRESSED = 40017;
constexpr uint16_t IDM_TYPE_DOCUMENT = 40018;
constexpr uint16_t IDM_TYPE_EXECUTABLE = 40019;
constexpr uint16_t IDM_TYPE_FOLDER = 40020;
constexpr uint16_t IDM_TYPE_PICTURE = 40021;
constexpr uint16_t IDM_TYPE_VIDEO = 40022;
constexpr uint16_t IDM_TYPE_OTHER = 40023;
constexpr uint16_t IDM_HELP = 40024;
constexpr uint16_t IDM_WEBSITE = 40025;
constexpr uint16_t IDM_DONATE = 40026;
constexpr uint16_t IDM_ABOUT = 40027;
constexpr uint16_t IDM_OPEN_FILE = 40028;
constexpr uint16_t IDM_OPEN_PATH = 40029;
constexpr uint16_t IDM_COPY_PATH = 40030;
constexpr uint16_t IDM_COPY_FILE = 40031;

constexpr uint16_t FirstCommandId = IDM_NEW_WINDOW;
constexpr uint16_t LastCommandId = IDM_COPY_FILE;

constexpr int QueryEditId = 1000;
constexpr int ResultListId = 2000;
constexpr int StatusBarId = 3000;

// WM_USER + 1; the tray icon reports its mouse messages with it.
constexpr unsigned WM_TRAYNOTIFY = 0x0400 + 1;

// Icon resource of the program, also the tray icon's id.
constexpr int ProgramIconId = 102;

constexpr bool IsCommandId(unsigned id) {
    return id >= FirstCommandId && id <= LastCommandId;
}

// Result-list column of a sort command, or -1.
constexpr int SortColumnOf(unsigned id) {
    return id >= IDM_SORT_NAME && id <= IDM_SORT_MODIFIED ? static_cast<int>(id - IDM_SORT_NAME)
                                                          : -1;
}

// TypeCategory that a type command selects (0 all ... 8 other), or -1.
constexpr int TypeFilterOf(unsigned id) {
    return id >= IDM_TYPE_ALL && id <= IDM_TYPE_OTHER ? static_cast<int>(id - IDM_TYPE_ALL) : -1;
}
