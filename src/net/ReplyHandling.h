// SPDX-License-Identifier: MIT
#pragma once

#include <QMetaObject>
#include <QNetworkReply>

#include <memory>

namespace skerrin {

// The awaiting frame owns its reply; it is deleted from the event loop, as it may still be
// emitting when the frame ends.
struct DeleteLater {
    void operator()(QObject* object) const {
        if (object != nullptr)
            object->deleteLater();
    }
};
using OwnedReply = std::unique_ptr<QNetworkReply, DeleteLater>;

// Records why a reply is given up (the first reason wins; `Reason::no` means not given up) and
// aborts it from the event loop: aborting inside a signal would resume, and destroy, the awaiting
// frame underneath the emitting object.
template <typename Reason> void abandonLater(QNetworkReply* reply, Reason& reason, Reason why) {
    if (reason != Reason::no)
        return;
    reason = why;
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

} // namespace skerrin
