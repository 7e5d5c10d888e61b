// What the help, about and donation windows share: their controls come from tables, and the
// fonts and brushes each window creates are kept with that window and deleted when it is gone,
// so that opening a window again and again leaks no GDI objects.
#pragma once

#include <windows.h>

constexpr int KeptObjectSlots = 4;
constexpr int DefaultFont = -1;

// One child control as created at WM_CREATE; fontSlot names a kept font, or DefaultFont for none.
struct ControlSpec {
    int id;
    const wchar_t* className;
    DWORD style;
    int x, y, width, height;
    int fontSlot;
    const wchar_t* text;
};

// A font of the face "微软雅黑" with a width of half the height (both negative: character
// heights in pixels at 96 DPI, scaled to the window's DPI).
HFONT CreateTextFont(HWND window, int height, int weight, bool underline);

// Keeps the object in the window's slot (0 to KeptObjectSlots - 1) and returns it. An object that
// cannot be kept is deleted at once and null is returned, so the caller falls back to defaults.
HGDIOBJ KeepWithWindow(HWND window, int slot, HGDIOBJ object);

// The object kept in the slot, or null.
HGDIOBJ KeptObject(HWND window, int slot);

// Deletes every object kept with the window. Called at WM_NCDESTROY, after the child controls
// that used the fonts are gone.
void ReleaseKeptObjects(HWND window);

// Creates the controls in table order, their table sizes scaled to the parent's DPI, and gives each
// one with a kept font that font, without redrawing. A control that cannot be created is left out.
void CreateControls(HWND parent, const ControlSpec* items, int count);

// The brush of the system window colour that the labels are painted with.
LRESULT WindowColourBrush();
