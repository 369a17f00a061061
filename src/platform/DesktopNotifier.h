// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

namespace skerrin {

// One desktop notification. A later one of the same group takes the earlier one's place on screen,
// so "recovered" replaces "went offline" instead of stacking under it.
struct DesktopNotification {
    QString group;
    QString summary;
    QString body; // plain text
};

// The pop-ups a desktop shows in a corner. Nothing here fails loudly: without a notification service
// a notification is dropped.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // A notification service is there now, running or one the desktop starts on demand.
    virtual bool isAvailable() const = 0;
    // Returns at once; the notification is delivered from the event loop.
    virtual void notify(const DesktopNotification& notification) = 0;
};

// The platform's notifier, naming the application "Skerrin" with its icon and desktop entry.
std::unique_ptr<DesktopNotifier> makeDesktopNotifier();

} // namespace skerrin
