// SPDX-License-Identifier: MIT
#include "platform/linux/ModuleDesktopNotifier.h"

#include "platform/Companions.h"
#include "platform/Modules.h"

namespace skerrin {
namespace {

class ModuleDesktopNotifier final : public DesktopNotifier {
public:
    explicit ModuleDesktopNotifier(QString modulePath) : m_modulePath(std::move(modulePath)) {}

    bool isAvailable() const override {
        DesktopNotifier* notifier = loaded();
        return notifier && notifier->isAvailable();
    }

    void notify(const DesktopNotification& notification) override {
        if (DesktopNotifier* notifier = loaded())
            notifier->notify(notification);
    }

private:
    DesktopNotifier* loaded() const {
        if (m_tried)
            return m_notifier.get();
        m_tried = true;
        using Entry = DesktopNotifier* (*)();
        if (const auto entry = reinterpret_cast<Entry>(
                moduleEntry(m_modulePath, "skerrinSessionBusNotifier", "Desktop notifications are off")))
            m_notifier.reset(entry());
        return m_notifier.get();
    }

    QString m_modulePath;
    mutable bool m_tried = false;
    mutable std::unique_ptr<DesktopNotifier> m_notifier;
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
