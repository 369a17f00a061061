// SPDX-License-Identifier: MIT
#include "platform/linux/ModuleDesktopNotifier.h"

#include "platform/Companions.h"
#include "platform/Modules.h"

namespace skerrin {
namespace {

class ModuleDesktopNotifier final : public DesktopNotifier {
public:
    explicit ModuleDesktopNotifier(QString modulePath)
        : m_notifier(std::move(modulePath), "skerrinSessionBusNotifier", "Desktop notifications are off") {}

    bool isAvailable() const override {
        DesktopNotifier* notifier = m_notifier.get();
        return notifier && notifier->isAvailable();
    }

    void notify(const DesktopNotification& notification) override {
        if (DesktopNotifier* notifier = m_notifier.get())
            notifier->notify(notification);
    }

private:
    ModuleObject<DesktopNotifier> m_notifier;
};

} // namespace

std::unique_ptr<DesktopNotifier> makeModuleDesktopNotifier(const QString& modulePath) {
    return std::make_unique<ModuleDesktopNotifier>(modulePath);
}

std::unique_ptr<DesktopNotifier> makeDesktopNotifier() {
    return makeModuleDesktopNotifier(
        QString::fromStdString(companionFile("skerrin-notifications.so").string()));
}

} // namespace skerrin
