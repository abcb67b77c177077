#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
// A reply or error from xcb, freed with free().
template<typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

// A private connection to the X server of $DISPLAY, with its default screen and an atom cache.
// Use one connection from one thread at a time.
class XcbConnection {
public:
    // Absent when no X server answers.
    static std::unique_ptr<XcbConnection> open();
    ~XcbConnection();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    xcb_connection_t* get() const { return m_connection; }
    xcb_screen_t* screen() const { return m_screen; }
    int screenNumber() const { return m_screenNumber; }
    xcb_window_t root() const { return m_screen->root; }

    xcb_atom_t atom(const char* name);
    // Interns many atoms in one round trip.
    void preloadAtoms(const std::vector<const char*>& names);
    QString atomName(xcb_atom_t atom);

    bool hasExtension(xcb_extension_t* extension) const;
    // An unmapped 1x1 input-only window on the root, for properties and events only.
    xcb_window_t createHiddenWindow(uint32_t eventMask = 0);
    // Asks XFixes to report every change of the selection's owner (a new owner, the owner's
    // window destroyed or its client gone) on this connection, to a hidden window. The first
    // XFixes event code, or nothing when the server has no XFixes.
    std::optional<uint8_t> watchSelectionOwner(xcb_atom_t selection);
    // Whether a compositing manager owns _NET_WM_CM_S<screen> now (one round trip).
    bool hasCompositingManager();
    // A round trip: every request sent before it has been handled by the server.
    static void sync(xcb_connection_t* connection);

private:
    XcbConnection(xcb_connection_t* connection, int screenNumber, xcb_screen_t* screen);

    xcb_connection_t* m_connection;
    int m_screenNumber;
    xcb_screen_t* m_screen;
    QHash<QByteArray, xcb_atom_t> m_atoms;
};

} // namespace vorlith
