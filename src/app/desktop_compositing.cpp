#include "app/desktop_compositing.h"

#include <QGuiApplication>

// Qt declares its X11 interface only when built for X11.
#if defined(VIDORA_HAVE_XCB) && QT_CONFIG(xcb)
#define VIDORA_ASK_X11 1
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#endif

namespace vidora::app {

namespace {

#if defined(VIDORA_ASK_X11)
bool X11Composites() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return false;
  char* host = nullptr;
  int display = 0, screen = 0;
  if (!xcb_parse_display(nullptr, &host, &display, &screen)) screen = 0;
  std::free(host);
  const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
  if (!atom) return false;
  bool owned = false;
  if (atom->atom != XCB_ATOM_NONE) {
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
  }
  std::free(atom);
  return owned;
}
#endif

}  // namespace

bool DesktopComposites() {
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("windows") ||
      platform == QLatin1String("cocoa"))
    return true;
#if defined(VIDORA_ASK_X11)
  if (platform == QLatin1String("xcb")) return X11Composites();
#endif
  return false;
}

}  // namespace vidora::app
