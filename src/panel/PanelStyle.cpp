// SPDX-License-Identifier: MIT
#include "panel/PanelStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace skerrin::panel {

namespace {

constexpr double kMinimumPointSize = 8.0;

QFont resized(QFont font, double deltaPoints) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(std::max(kMinimumPointSize, font.pointSizeF() + deltaPoints));
    } else if (font.pixelSize() > 0) {
        // A pixel-sized font: at 96 dpi a point is 4/3 pixels, and 8 pt is 11 px.
        font.setPixelSize(std::max(11, int(std::lround(font.pixelSize() + deltaPoints * 4.0 / 3.0))));
    }
    return font;
}

QFont monospaced(const QFont& base, double deltaPoints) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF());
    else if (base.pixelSize() > 0)
        font.setPixelSize(base.pixelSize());
    font.setStyleHint(QFont::Monospace);
    return resized(font, deltaPoints);
}

double luminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The hue moved towards black on a light window and towards white on a dark one until it reaches
// the contrast that small text needs.
QColor readableOn(const QColor& background, int hue, double saturation) {
    const bool lightWindow = luminance(background) > 0.25;
    double lightness = lightWindow ? 0.42 : 0.6;
    QColor color = QColor::fromHslF(hue / 360.0, saturation, lightness);
    for (int step = 0; step < 40 && contrast(color, background) < 4.5; ++step) {
        lightness = std::clamp(lightness + (lightWindow ? -0.02 : 0.02), 0.0, 1.0);
        color = QColor::fromHslF(hue / 360.0, saturation, lightness);
    }
    return color;
}

} // namespace

QFont panelFont(TextRole role) {
    const QFont base = QApplication::font();
    switch (role) {
    case TextRole::body:
        return base;
    case TextRole::headline: {
        QFont font = resized(base, 2);
        font.setWeight(QFont::Bold);
        return font;
    }
    case TextRole::subheadline: {
        QFont font = base;
        font.setWeight(QFont::DemiBold);
        return font;
    }
    case TextRole::caption:
        return resized(base, -1);
    case TextRole::captionBold: {
        QFont font = resized(base, -1);
        font.setWeight(QFont::DemiBold);
        return font;
    }
    case TextRole::caption2:
        return resized(base, -1.5);
    case TextRole::setupCode: {
        QFont font = monospaced(base, 4);
        font.setWeight(QFont::DemiBold);
        return font;
    }
    case TextRole::output:
        return monospaced(base, -1);
    }
    return base;
}

QColor secondaryColor(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    constexpr double kText = 0.62;
    return QColor::fromRgbF(float(kText * text.redF() + (1 - kText) * window.redF()),
                            float(kText * text.greenF() + (1 - kText) * window.greenF()),
                            float(kText * text.blueF() + (1 - kText) * window.blueF()));
}

QColor runningColor(const QPalette& palette) {
    return readableOn(palette.color(QPalette::Active, QPalette::Window), 135, 0.6);
}

QColor attentionColor(const QPalette& palette) {
    return readableOn(palette.color(QPalette::Active, QPalette::Window), 30, 0.95);
}

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(float(opacity));
    return color;
}

void setAccented(QWidget* button, bool accented) {
    if (button->property("accented").toBool() == accented)
        return;
    button->setProperty("accented", accented);
    if (!accented) {
        button->setPalette(QPalette()); // inherit again
        return;
    }
    QPalette palette = button->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, palette.color(group, QPalette::Highlight));
        palette.setColor(group, QPalette::ButtonText, palette.color(group, QPalette::HighlightedText));
    }
    button->setPalette(palette);
}

void setTextColor(QWidget* widget, const QColor& color) {
    if (widget->palette().color(QPalette::Active, QPalette::WindowText) == color)
        return; // a palette change relays out and repaints: not on every model change
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, color);
        palette.setColor(group, QPalette::Text, color);
    }
    widget->setPalette(palette);
}

void setTextStyle(QWidget* widget, TextRole role, const QColor& color) {
    widget->setFont(panelFont(role));
    setTextColor(widget, color);
}

} // namespace skerrin::panel
