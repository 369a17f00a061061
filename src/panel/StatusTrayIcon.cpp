// SPDX-License-Identifier: MIT
#include "panel/StatusTrayIcon.h"

#include "model/DesktopService.h"
#include "model/LanguageChoice.h"
#include "panel/AfterModelChanges.h"
#include "panel/SvgPicture.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace skerrin {
namespace {

// The tray's background is not ours to know: trayer paints any tint, a StatusNotifierItem host
// draws the panel in its own theme, and the application palette says nothing about either. So the
// symbol is drawn light with a thin dark halo, like a mouse pointer: the light glyph carries it on
// a dark panel, the halo on a light one.
const QColor kGlyph(0xf4, 0xf4, 0xf4);
const QColor kHalo(0x14, 0x14, 0x14, 0xdc);

QString resourceFor(StatusIcon statusIcon) {
    const char* state = statusIcon == StatusIcon::busy      ? "busy"
                        : statusIcon == StatusIcon::running ? "running"
                                                            : "stopped";
    return QStringLiteral(":/skerrin/icons/skerrin-%1-symbolic.svg").arg(QLatin1String(state));
}

QImage renderGlyph(QByteArray svg, const QColor& colour, int pixels, int inset) {
    svg.replace("currentColor", colour.name(QColor::HexRgb).toLatin1());
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setOpacity(colour.alphaF());
    painter.drawImage(inset, inset, panel::svgPicture(svg, QSize(pixels - 2 * inset, pixels - 2 * inset)));
    return image;
}

QPixmap renderSymbol(const QByteArray& svg, int pixels) {
    // The glyph shrinks by the halo's width on each side, so the halo is never cut off.
    const int halo = std::max(1, (pixels + 8) / 16);
    const QImage shadow = renderGlyph(svg, kHalo, pixels, halo);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (int dx = -halo; dx <= halo; ++dx) {
        for (int dy = -halo; dy <= halo; ++dy) {
            if (dx * dx + dy * dy <= halo * halo + halo) // a round pen, not a square one
                painter.drawImage(dx, dy, shadow);
        }
    }
    painter.drawImage(0, 0, renderGlyph(svg, kGlyph, pixels, halo));
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QIcon trayIconFor(StatusIcon statusIcon) {
    QFile file(resourceFor(statusIcon));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray svg = file.readAll();
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(renderSymbol(svg, size));
        if (ratio > 1.0) {
            QPixmap sharp = renderSymbol(svg, qRound(size * ratio));
            sharp.setDevicePixelRatio(ratio);
            icon.addPixmap(sharp);
        }
    }
    return icon;
}

StatusTrayIcon::StatusTrayIcon(const DesktopService& service, const LanguageChoice& language, QObject* parent)
    : TrayIcon(parent), m_service(service), m_language(language), m_icon(this) {
    afterChanges({&m_service, &m_language}, this, [this] { update(); });
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit toggleRequested();
    });
    rebuildMenu();
    update();
}

StatusTrayIcon::~StatusTrayIcon() {
    delete m_menu;
}

void StatusTrayIcon::show() {
    m_icon.show();
}

QRect StatusTrayIcon::geometry() const {
    return m_icon.geometry();
}

void StatusTrayIcon::update() {
    if (const StatusIcon name = m_service.statusIcon(); name != m_shownIcon) {
        m_icon.setIcon(trayIconFor(name));
        m_shownIcon = name;
    }
    m_icon.setToolTip(QStringLiteral("Skerrin\n") + m_service.statusSummary());
    if (m_language.language() != m_menuLanguage)
        rebuildMenu();
}

// A StatusNotifierItem host holds on to the exported menu, so a language change gets a new menu
// rather than new texts in the old one; the old one goes once the host has let go of it.
void StatusTrayIcon::rebuildMenu() {
    auto* menu = new QMenu; // a top-level: a menu is a window of its own
    m_icon.setContextMenu(menu);
    menu->addAction(m_language.ui(QStringLiteral("Open Skerrin"), QStringLiteral("打开 Skerrin")), this,
                    &StatusTrayIcon::openRequested);
    menu->addAction(m_language.ui(QStringLiteral("Quit"), QStringLiteral("退出")), this,
                    &StatusTrayIcon::quitRequested);
    if (m_menu)
        m_menu->deleteLater();
    m_menu = menu;
    m_menuLanguage = m_language.language();
}

} // namespace skerrin
