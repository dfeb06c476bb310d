#include "tests/wm/WmSupport.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace wm {

namespace {

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t Root() {
    return xcb_setup_roots_iterator(xcb_get_setup(Connection())).data->root;
}

template <class T>
using TReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t Atom(const char* Name) {
    xcb_connection_t* c = Connection();
    TReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(Name)), Name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::string AtomName(xcb_atom_t Atom) {
    xcb_connection_t* c = Connection();
    TReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, Atom), nullptr),
                                            &std::free);
    if (!reply) return std::string();
    return std::string(xcb_get_atom_name_name(reply.get()),
                       size_t(xcb_get_atom_name_name_length(reply.get())));
}

// The raw value of a property, as 8-bit bytes or 32-bit items.
std::vector<uint8_t> Property(xcb_window_t Window, xcb_atom_t Property, xcb_atom_t Type, uint8_t* Format) {
    xcb_connection_t* c = Connection();
    TReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, Window, Property, Type, 0, 4096), nullptr),
        &std::free);
    if (!reply) return {};
    *Format = reply->format;
    const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint8_t>(data, data + xcb_get_property_value_length(reply.get()));
}

std::vector<uint32_t> Cardinals(xcb_window_t Window, const char* Name, xcb_atom_t Type) {
    uint8_t format = 0;
    const std::vector<uint8_t> bytes = Property(Window, Atom(Name), Type, &format);
    std::vector<uint32_t> items(bytes.size() / 4);
    if (format == 32 && !items.empty()) std::memcpy(items.data(), bytes.data(), items.size() * 4);
    return items;
}

void SendToRoot(xcb_window_t Window, const char* Message, std::initializer_list<uint32_t> Data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = Window;
    event.type = Atom(Message);
    int i = 0;
    for (uint32_t d : Data) event.data.data32[i++] = d;
    xcb_send_event(Connection(), 0, Root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(Connection());
}

}  // namespace

uint32_t WindowOf(QWidget* Widget) {
    return uint32_t(Widget->winId());
}

std::string Caption(uint32_t Window) {
    uint8_t format = 0;
    const std::vector<uint8_t> bytes = Property(Window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), &format);
    return std::string(bytes.begin(), bytes.end());
}

uint32_t ActiveWindow() {
    const std::vector<uint32_t> items = Cardinals(Root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return items.empty() ? 0 : items[0];
}

uint32_t TransientFor(uint32_t Window) {
    const std::vector<uint32_t> items = Cardinals(Window, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW);
    return items.empty() ? 0 : items[0];
}

bool Viewable(uint32_t Window) {
    xcb_connection_t* c = Connection();
    TReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, Window), nullptr), &std::free);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<std::string> States(uint32_t Window) {
    std::vector<std::string> names;
    for (uint32_t atom : Cardinals(Window, "_NET_WM_STATE", XCB_ATOM_ATOM)) names.push_back(AtomName(atom));
    return names;
}

bool HasState(uint32_t Window, const std::string& State) {
    for (const std::string& s : States(Window))
        if (s == State) return true;
    return false;
}

QRect ClientRect(uint32_t Window) {
    xcb_connection_t* c = Connection();
    TReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, Window), nullptr),
                                              &std::free);
    TReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, Window, Root(), 0, 0), nullptr),
        &std::free);
    if (!geometry || !origin) return QRect();
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

QRect FrameRect(uint32_t Window) {
    const QRect client = ClientRect(Window);
    const std::vector<uint32_t> e = Cardinals(Window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (e.size() < 4) return client;
    return client.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
}

bool PositionRequested(uint32_t Window) {
    const std::vector<uint32_t> hints = Cardinals(Window, "WM_NORMAL_HINTS", Atom("WM_SIZE_HINTS"));
    const uint32_t USPosition = 1, PPosition = 4;
    return !hints.empty() && (hints[0] & (USPosition | PPosition)) != 0;
}

std::vector<uint32_t> Stacking() {
    return Cardinals(Root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
}

void Close(uint32_t Window) {
    SendToRoot(Window, "_NET_CLOSE_WINDOW", {XCB_CURRENT_TIME, 2});
}

void Maximize(uint32_t Window, bool On) {
    SendToRoot(Window, "_NET_WM_STATE",
               {On ? 1u : 0u, Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 2});
}

void Iconify(uint32_t Window) {
    const uint32_t IconicState = 3;
    SendToRoot(Window, "WM_CHANGE_STATE", {IconicState});
}

void Activate(uint32_t Window) {
    SendToRoot(Window, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
}

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!Done()) {
        if (timer.elapsed() > TimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void Settle(int Ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < Ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace wm
