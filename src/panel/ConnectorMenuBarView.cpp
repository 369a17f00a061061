// SPDX-License-Identifier: MIT
#include "panel/ConnectorMenuBarView.h"

#include "model/ConnectorMenuBarModel.h"

namespace skerrin {

// Placeholder until the blocks land: the frame only.
ConnectorMenuBarView::ConnectorMenuBarView(ConnectorMenuBarModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setFixedSize(430, 760);
}

ConnectorMenuBarView::~ConnectorMenuBarView() = default;

bool ConnectorMenuBarView::isShowingDialog() const { return m_dialogShown; }

void ConnectorMenuBarView::showEvent(QShowEvent* event) { QWidget::showEvent(event); }

} // namespace skerrin
