#pragma once
// The program's private window messages: a worker reports by posting one of these to the main
// window, which receives it as a posted event of the matching type.

constexpr int WM_USER = 0x400;
constexpr int WM_SEARCH_DONE = WM_USER + 221;
constexpr int WM_SEARCH_FAILED = WM_USER + 222;
constexpr int WM_UPDATE_DONE = WM_USER + 31;
constexpr int WM_UPDATE_FAILED = WM_USER + 32;
