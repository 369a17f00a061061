// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QRect>

namespace skerrin {

// The application's icon in the desktop's tray, whichever protocol carries it.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~TrayIcon() override;

    virtual void show() = 0;
    // Where the icon is on the screen, as far as the tray host says (a point is a 1 × 1 rect);
    // empty when it does not.
    virtual QRect geometry() const = 0;

signals:
    void toggleRequested();
    void openRequested();
    void quitRequested();
};

} // namespace skerrin
