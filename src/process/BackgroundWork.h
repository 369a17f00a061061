// SPDX-License-Identifier: MIT
#pragma once

#include <QThreadPool>
#include <QtConcurrent>

#include <QCoroFuture>

#include <type_traits>

namespace skerrin {

// A pool without a practical bound: a wait that never ends must not starve later work,
// which the global pool (sized to the core count) would do.
QThreadPool& backgroundPool();

// Runs blocking `work` on a background thread; co_await the future to resume on the caller's thread,
// then take future.result(). Using the co_await's value directly (`T x = co_await future;`) loses
// a reference under GCC 12, and the shared data is freed twice.
// Deliberately not a coroutine: GCC 12 mishandles captures moved out of a coroutine's parameters.
template <typename Work> QFuture<std::invoke_result_t<Work>> runOffGuiThread(Work work) {
    return QtConcurrent::run(&backgroundPool(), std::move(work));
}

} // namespace skerrin
