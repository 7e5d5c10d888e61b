// The block that the probe places in the target process for one request to the agent DLL. The
// probe writes the request, starts AgentRun on it with CreateRemoteThread, waits for the thread
// and reads the reply back.
#pragma once

#include <cstdint>

enum AgentOp : uint32_t {
    AgentMenuItem = 1,  // state and text of menu item `id` of the window's menu bar
    AgentMenuTree = 2,  // every item of the window's menu bar, one line each
    AgentFont = 3,      // the font that the window answers WM_GETFONT with
    // With `id` 1, every later Shell_NotifyIconW call of the program's own module fails, as with
    // no shell to take the icon; with 0, the calls reach the shell again.
    AgentRefuseTrayIcons = 4,
};

constexpr uint32_t AgentReplyCapacity = 16384;

struct AgentBlock {
    uint32_t op;
    uint32_t id;
    uint64_t window;
    uint32_t replyLength;
    uint32_t ok;
    wchar_t reply[AgentReplyCapacity];
};
