// Whether the desktop composites translucent windows: then the phone's edge
// can be soft (an alpha channel) instead of cut to whole pixels.
#pragma once

namespace vidora::app {

// Asked of the running display: Wayland always composites; under X11 a
// compositing manager owns the _NET_WM_CM_S<screen> selection; headless
// platforms never composite.
bool DesktopComposites();

}  // namespace vidora::app
