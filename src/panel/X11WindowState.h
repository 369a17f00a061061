// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace skerrin {

// Keeps a top-level window out of the taskbar and the pager (_NET_WM_STATE_SKIP_TASKBAR and
// _NET_WM_STATE_SKIP_PAGER), or lets it in again. The window manager reads the state when the
// window is mapped and drops it when it is withdrawn, so this is called before each show. Nothing
// happens off X11.
void setSkipTaskbarAndPager(QWidget* window, bool skip);

} // namespace skerrin
