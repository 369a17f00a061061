// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>

class QPalette;
class QWidget;

namespace skerrin::panel {

// Text roles of the panel, each relative to the application's font so that a desktop with larger
// fonts gets a larger panel, never smaller than 8 pt.
enum class TextRole {
    body,
    headline,    // the card's title
    subheadline, // the status summary
    caption,
    captionBold, // labels: section titles, line labels, check titles
    caption2,    // the smallest texts: check details, expiry, diagnostics
    setupCode,   // monospaced and large enough to read out to the phone
    output,      // monospaced script output
};

QFont panelFont(TextRole role);

// Dimmed text, a blend of the palette's text and window colours: readable on light and dark themes.
QColor secondaryColor(const QPalette& palette);
// Green for a running service, orange for a check that is not ready, each darkened or lightened
// until it reads against the palette's window colour.
QColor runningColor(const QPalette& palette);
QColor attentionColor(const QPalette& palette);
QColor withOpacity(QColor color, double opacity);

// The prominent look, filled with the accent colour while enabled (a disabled button looks like any
// other), or back to the inherited look.
void setAccented(QWidget* button, bool accented);

// Sets the colour a label or text view draws its text in, in every colour group but the disabled one.
void setTextColor(QWidget* widget, const QColor& color);
void setTextStyle(QWidget* widget, TextRole role, const QColor& color);

} // namespace skerrin::panel
