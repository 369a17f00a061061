// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <memory>

namespace skerrin::tray {

// Whether an XEmbed tray manager owns the screen's _NET_SYSTEM_TRAY_S<n> selection, followed by
// the MANAGER message every new manager sends to the root window: no polling.
class XEmbedTrayWatch : public QObject {
    Q_OBJECT

public:
    // Null unless the application runs on X11.
    static std::unique_ptr<XEmbedTrayWatch> create();
    ~XEmbedTrayWatch() override;

    bool present() const { return m_present; }

signals:
    void changed();

protected:
    XEmbedTrayWatch() = default;
    void setPresent(bool present);

private:
    bool m_present = false;
};

} // namespace skerrin::tray
