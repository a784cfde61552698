#include "platform/gui/uShellX11.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace kadrel {

namespace {

struct TFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using TReply = std::unique_ptr<T, TFree>;

// Enough for any window list or title; the server sends what there is.
constexpr std::uint32_t kMaxPropertyWords = 1u << 16;

// Qt's own connection, so that windows are looked for on the display Kadrel
// itself is shown on.
xcb_connection_t* Connection() {
#if QT_CONFIG(xcb)
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
#else
  return nullptr;
#endif
}

// An atom that no client has interned yet is on no window either, so the
// lookup never creates one.
xcb_atom_t ExistingAtom(xcb_connection_t* c, std::string_view name) {
  TReply<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::uint16_t(name.size()), name.data()), nullptr));
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A property of 32-bit items (windows, atoms); nullopt when the window does
// not have it.
std::optional<std::vector<std::uint32_t>> WordList(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                                   xcb_atom_t type) {
  if (property == XCB_ATOM_NONE) return std::nullopt;
  TReply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, kMaxPropertyWords), nullptr));
  if (!reply || reply->type != type || reply->format != 32) return std::nullopt;
  const auto* words = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return std::vector<std::uint32_t>(words, words + xcb_get_property_value_length(reply.get()) / 4);
}

std::vector<xcb_window_t> RootWindows(xcb_connection_t* c) {
  std::vector<xcb_window_t> roots;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
    roots.push_back(it.data->root);
  }
  return roots;
}

// The window manager's list of managed windows; with no window manager the
// root's own children are the top-level windows.
std::vector<xcb_window_t> TopLevelWindows(xcb_connection_t* c, xcb_window_t root) {
  if (auto clients = WordList(c, root, ExistingAtom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW)) return *clients;
  TReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  return {children, children + xcb_query_tree_children_length(tree.get())};
}

// Asks for every title at once and then reads the answers, so a long window
// list costs one round trip rather than one per window.
xcb_window_t WindowTitled(xcb_connection_t* c, const std::vector<xcb_window_t>& windows, const QByteArray& title) {
  const xcb_atom_t netWmName = ExistingAtom(c, "_NET_WM_NAME");
  const xcb_atom_t utf8 = ExistingAtom(c, "UTF8_STRING");
  if (netWmName == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE) return XCB_WINDOW_NONE;
  std::vector<xcb_get_property_cookie_t> cookies;
  cookies.reserve(windows.size());
  for (xcb_window_t w : windows) cookies.push_back(xcb_get_property(c, 0, w, netWmName, utf8, 0, kMaxPropertyWords));
  xcb_window_t found = XCB_WINDOW_NONE;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    // Every reply is collected, also after a match, or it would stay queued.
    TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookies[i], nullptr));
    if (found != XCB_WINDOW_NONE || !reply || reply->type != utf8 || reply->format != 8) continue;
    const auto* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    if (IsTitledAs(std::string_view(value, length), std::string_view(title.constData(), std::size_t(title.size())))) {
      found = windows[i];
    }
  }
  return found;
}

}  // namespace

bool IsTitledAs(std::string_view windowTitle, std::string_view documentTitle) {
  if (documentTitle.empty()) return windowTitle.empty();
  if (windowTitle == documentTitle) return true;
  // A viewer names itself beside the document it shows: "Viewer: Title",
  // "Viewer - Title" or "Title - Viewer".
  for (std::string_view separator : {": ", " - "}) {
    const std::size_t affix = separator.size() + documentTitle.size();
    if (windowTitle.size() <= affix) continue;
    const std::string_view tail = windowTitle.substr(windowTitle.size() - affix);
    if (tail.substr(0, separator.size()) == separator && tail.substr(separator.size()) == documentTitle) return true;
  }
  return windowTitle.size() > documentTitle.size() + 3 && windowTitle.starts_with(documentTitle) &&
         windowTitle.substr(documentTitle.size(), 3) == " - ";
}

namespace {

void SendClientMessage(xcb_connection_t* c, xcb_window_t destination, std::uint32_t mask, xcb_window_t window,
                       xcb_atom_t type, std::uint32_t data0, std::uint32_t data1) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  event.data.data32[0] = data0;
  event.data.data32[1] = data1;
  xcb_send_event(c, 0, destination, mask, reinterpret_cast<const char*>(&event));
}

bool Contains(const std::optional<std::vector<std::uint32_t>>& atoms, xcb_atom_t atom) {
  return atoms && atom != XCB_ATOM_NONE && std::find(atoms->begin(), atoms->end(), atom) != atoms->end();
}

}  // namespace

TWindowId FindX11TopLevelWindow(const QString& title) {
  xcb_connection_t* c = Connection();
  if (!c) return 0;
  const QByteArray utf8Title = title.toUtf8();
  for (xcb_window_t root : RootWindows(c)) {
    if (xcb_window_t w = WindowTitled(c, TopLevelWindows(c, root), utf8Title)) return w;
  }
  return 0;
}

void CloseX11Window(TWindowId id) {
  xcb_connection_t* c = Connection();
  if (!c || id == 0 || id > std::numeric_limits<std::uint32_t>::max()) return;
  const auto window = static_cast<xcb_window_t>(id);
  TReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  if (!tree) return;  // gone already
  const xcb_window_t root = tree->root;

  // A window manager closes the window the way its own close button does.
  // Without one, the window is asked directly, as a window manager would.
  const xcb_atom_t netClose = ExistingAtom(c, "_NET_CLOSE_WINDOW");
  if (Contains(WordList(c, root, ExistingAtom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM), netClose)) {
    constexpr std::uint32_t kFromApplication = 1;
    SendClientMessage(c, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT, window,
                      netClose, XCB_CURRENT_TIME, kFromApplication);
  } else {
    const xcb_atom_t protocols = ExistingAtom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = ExistingAtom(c, "WM_DELETE_WINDOW");
    if (Contains(WordList(c, window, protocols, XCB_ATOM_ATOM), deleteWindow)) {
      SendClientMessage(c, window, XCB_EVENT_MASK_NO_EVENT, window, protocols, deleteWindow, XCB_CURRENT_TIME);
    }
  }
  xcb_flush(c);
}

std::optional<QPoint> X11WindowOrigin(TWindowId id) {
  xcb_connection_t* c = Connection();
  if (!c || id == 0 || id > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  const auto window = static_cast<xcb_window_t>(id);
  TReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!geometry) return std::nullopt;
  TReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr));
  if (!origin) return std::nullopt;
  return QPoint(origin->dst_x, origin->dst_y);
}

}  // namespace kadrel
