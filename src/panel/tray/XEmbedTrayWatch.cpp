// SPDX-License-Identifier: MIT
#include "panel/tray/XEmbedTrayWatch.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace skerrin::tray {
namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The screen the display names (":0.1" is screen 1), where a tray manager takes its selection.
int screenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon + 1);
    return colon >= 0 && dot > colon ? display.mid(dot + 1).toInt() : 0;
}

class X11TrayWatch final : public XEmbedTrayWatch, public QAbstractNativeEventFilter {
public:
    X11TrayWatch(xcb_connection_t* connection, xcb_window_t root)
        : m_connection(connection), m_root(root),
          m_selection(internAtom(connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber()))),
          m_manager(internAtom(connection, "MANAGER")) {
        // A new manager announces itself to the root window's structure listeners; Qt's own mask
        // on the root stays as it was, with that one added.
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr);
        const uint32_t mask =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        std::free(attributes);
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        QCoreApplication::instance()->installNativeEventFilter(this);
        check();
    }

    ~X11TrayWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* client = static_cast<const xcb_client_message_event_t*>(message);
            if (client->window == m_root && client->type == m_manager &&
                client->data.data32[1] == m_selection)
                QMetaObject::invokeMethod(
                    this, [this] { check(); }, Qt::QueuedConnection);
        } else if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY && present()) {
            // The manager's window going is the tray going.
            const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
            if (destroyed->window == m_owner)
                QMetaObject::invokeMethod(
                    this, [this] { check(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void check() {
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
        m_owner = reply ? reply->owner : xcb_window_t(XCB_NONE);
        std::free(reply);
        if (m_owner != XCB_NONE) {
            const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(m_connection, m_owner, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(m_connection);
        }
        setPresent(m_owner != XCB_NONE);
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_selection;
    xcb_atom_t m_manager;
    xcb_window_t m_owner = XCB_NONE;
};

} // namespace

std::unique_ptr<XEmbedTrayWatch> XEmbedTrayWatch::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int n = screenNumber(); n > 0 && screens.rem > 1; --n)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    return std::make_unique<X11TrayWatch>(connection, screens.data->root);
}

XEmbedTrayWatch::~XEmbedTrayWatch() = default;

void XEmbedTrayWatch::setPresent(bool present) {
    if (present == m_present)
        return;
    m_present = present;
    emit changed();
}

} // namespace skerrin::tray
