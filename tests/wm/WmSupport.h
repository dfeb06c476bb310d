// What the window system and its window manager see of the program's windows, read from the X server:
// for window tests that run under RunUnderWindowManager.sh (a virtual display with openbox).
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace wm {

// The X window of a shown top-level widget.
uint32_t WindowOf(QWidget* Widget);

// The caption the window manager shows (_NET_WM_NAME, UTF-8).
std::string Caption(uint32_t Window);
// The window the window manager has given the focus (_NET_ACTIVE_WINDOW of the root), 0 for none.
uint32_t ActiveWindow();
// WM_TRANSIENT_FOR: the window this one belongs to, 0 for none.
uint32_t TransientFor(uint32_t Window);
// The window is mapped and so visible (an iconified or hidden window is not).
bool Viewable(uint32_t Window);
// The window's _NET_WM_STATE atoms by name ("_NET_WM_STATE_ABOVE", "_NET_WM_STATE_MAXIMIZED_VERT"...).
std::vector<std::string> States(uint32_t Window);
bool HasState(uint32_t Window, const std::string& State);
// The frame the window manager drew round the window, in root coordinates.
QRect FrameRect(uint32_t Window);
// The client area of the window, in root coordinates.
QRect ClientRect(uint32_t Window);
// Whether the program asked for its position (USPosition or PPosition in WM_NORMAL_HINTS).
bool PositionRequested(uint32_t Window);
// The managed windows from bottom to top (_NET_CLIENT_LIST_STACKING).
std::vector<uint32_t> Stacking();

// What a user does through the window manager: the close button, the maximise button, minimising,
// and clicking a window (requests sent as a pager sends them).
void Close(uint32_t Window);
void Maximize(uint32_t Window, bool On);
void Iconify(uint32_t Window);
void Activate(uint32_t Window);

// Lets the program handle events until Done holds or TimeoutMs passes; returns Done(). The window
// manager answers late on a busy machine, so the default waits long: a wait that succeeds ends at once.
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 20000);
// Lets the program and the window manager settle for a while.
void Settle(int Ms = 200);

}  // namespace wm
