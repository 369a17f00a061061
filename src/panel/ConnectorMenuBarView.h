// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace skerrin {

class ConnectorMenuBarModel;

// The panel: every block of state and every action, 430 × 760, drawn from one model.
class ConnectorMenuBarView : public QWidget {
    Q_OBJECT

public:
    explicit ConnectorMenuBarView(ConnectorMenuBarModel& model, QWidget* parent = nullptr);
    ~ConnectorMenuBarView() override;

    // True while one of its confirmations or the folder chooser is open; the popup holding the
    // panel must not close then.
    bool isShowingDialog() const;

signals:
    // The Quit button; the application decides how to end.
    void quitRequested();
    // A confirmation or the folder chooser opened (true) or closed (false).
    void dialogShownChanged(bool shown);

protected:
    // Each time the panel is shown: forced platform status, then the pairing session.
    void showEvent(QShowEvent* event) override;

private:
    ConnectorMenuBarModel& m_model;
    bool m_dialogShown = false;
};

} // namespace skerrin
