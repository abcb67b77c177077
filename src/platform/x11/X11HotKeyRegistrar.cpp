#include "platform/x11/X11HotKeyRegistrar.h"

#include <QTimer>

// xkb.h names a field "explicit"; C++ reads that as the keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

namespace vorlith {

namespace {

constexpr quint16 lockMask = XCB_MOD_MASK_LOCK;
constexpr quint16 chordMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr int badValue = 2;
constexpr quint32 numLockSymbol = 0xff7f;

bool switchOnDetectableAutoRepeat(xcb_connection_t* c)
{
    XcbReply<xcb_xkb_use_extension_reply_t> use(
        xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!use || !use->supported)
        return false;
    constexpr uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    XcbReply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
        c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0), nullptr));
    return flags && (flags->value & flag);
}

// A client that uses XKB gets XKB's map notifications instead of the core MappingNotify.
// Returns the event code they arrive with, 0 without XKB.
uint8_t selectMapNotify(xcb_connection_t* c)
{
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return 0;
    constexpr uint16_t mapNotify = XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, mapNotify, 0, mapNotify, 0xffff, 0xffff, nullptr);
    return xkb->first_event;
}

} // namespace

std::unique_ptr<X11HotKeyRegistrar> X11HotKeyRegistrar::open()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11HotKeyRegistrar>(new X11HotKeyRegistrar(std::move(connection)));
}

X11HotKeyRegistrar::X11HotKeyRegistrar(std::unique_ptr<XcbConnection> connection)
    : m_connection(std::move(connection)), m_keyCodes(std::make_unique<X11HotKeyCodes>(m_connection->get()))
{
    xcb_connection_t* c = m_connection->get();
    m_detectableAutoRepeat = switchOnDetectableAutoRepeat(c);
    if (m_detectableAutoRepeat)
        m_xkbEvent = selectMapNotify(c);
    readNumLockMask();
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    scheduleRead();
}

X11HotKeyRegistrar::~X11HotKeyRegistrar()
{
    m_notifier.reset();
    for (const auto& [id, grab] : m_grabs) {
        if (grab.key)
            ungrab(*grab.key, grab.modifiers);
    }
    xcb_flush(m_connection->get());
}

std::vector<quint16> X11HotKeyRegistrar::lockCombinations() const
{
    std::vector<quint16> combinations{0, lockMask};
    if (m_numLockMask && m_numLockMask != lockMask) {
        combinations.push_back(m_numLockMask);
        combinations.push_back(quint16(m_numLockMask | lockMask));
    }
    return combinations;
}

void X11HotKeyRegistrar::readNumLockMask()
{
    xcb_connection_t* c = m_connection->get();
    m_numLockMask = 0;
    const std::optional<xcb_keycode_t> numLock = [&]() -> std::optional<xcb_keycode_t> {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        if (!symbols)
            return std::nullopt;
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, numLockSymbol);
        std::optional<xcb_keycode_t> first;
        if (codes && codes[0] != XCB_NO_SYMBOL)
            first = codes[0];
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return first;
    }();
    if (!numLock)
        return;
    XcbReply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!map)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (codes[modifier * perModifier + i] == *numLock)
                m_numLockMask |= quint16(1u << modifier);
        }
    }
}

int X11HotKeyRegistrar::grab(xcb_keycode_t key, quint16 modifiers)
{
    xcb_connection_t* c = m_connection->get();
    std::vector<xcb_void_cookie_t> cookies;
    for (quint16 locks : lockCombinations()) {
        cookies.push_back(xcb_grab_key_checked(c, 1, m_connection->root(), uint16_t(modifiers | locks), key,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    int status = 0;
    for (const xcb_void_cookie_t& cookie : cookies) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
        if (error && status == 0)
            status = error->error_code;
    }
    // A combination another client holds stays its own: ungrabbing releases only ours.
    if (status != 0) {
        ungrab(key, modifiers);
        xcb_flush(c);
    }
    scheduleRead();
    return status;
}

void X11HotKeyRegistrar::ungrab(xcb_keycode_t key, quint16 modifiers)
{
    for (quint16 locks : lockCombinations())
        xcb_ungrab_key(m_connection->get(), key, m_connection->root(), uint16_t(modifiers | locks));
}

void X11HotKeyRegistrar::registerHotKey(const ShortcutSpec& spec, quint32 id)
{
    Q_ASSERT(!m_grabs.contains(id));
    const std::optional<xcb_keycode_t> key = m_keyCodes->xKeyCode(spec.keyCode);
    if (!key)
        throw HotKeyRegistrationError(badValue);
    const quint16 modifiers = X11HotKeyCodes::xModifiers(spec.modifiers);
    for (const auto& [other, held] : m_grabs) {
        if (held.key == key && held.modifiers == modifiers)
            throw HotKeyRegistrationError(badValue, true);
    }
    if (const int status = grab(*key, modifiers))
        throw HotKeyRegistrationError(status);
    m_grabs[id] = Grab{spec, key, modifiers};
}

void X11HotKeyRegistrar::unregister(quint32 id)
{
    const auto found = m_grabs.find(id);
    if (found == m_grabs.end())
        return;
    if (found->second.key) {
        ungrab(*found->second.key, found->second.modifiers);
        xcb_flush(m_connection->get());
    }
    m_grabs.erase(found);
    std::erase_if(m_down, [id](const auto& entry) { return entry.second == id; });
}

bool X11HotKeyRegistrar::isKeyDown(quint32 keyCode)
{
    const std::optional<xcb_keycode_t> key = m_keyCodes->xKeyCode(keyCode);
    if (!key)
        return false;
    xcb_connection_t* c = m_connection->get();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    scheduleRead();
    return keymap && (keymap->keys[*key / 8] & (1u << (*key % 8)));
}

std::optional<quint16> X11HotKeyRegistrar::editorKeyID(quint32 keyCode)
{
    const std::optional<xcb_keycode_t> key = m_keyCodes->xKeyCode(keyCode);
    return key ? std::optional<quint16>(*key) : std::nullopt;
}

std::optional<quint32> X11HotKeyRegistrar::keyCodeForEditorKeyID(quint16 keyID)
{
    return keyID <= 255 ? m_keyCodes->keyCode(xcb_keycode_t(keyID)) : std::nullopt;
}

QString X11HotKeyRegistrar::keyCharacters(quint16 keyID)
{
    return keyID <= 255 ? m_keyCodes->characters(xcb_keycode_t(keyID)) : QString();
}

void X11HotKeyRegistrar::remap()
{
    for (const auto& [id, grab] : m_grabs) {
        if (grab.key)
            ungrab(*grab.key, grab.modifiers);
    }
    m_keyCodes->reload();
    readNumLockMask();
    for (auto& [id, grab] : m_grabs) {
        grab.key = m_keyCodes->xKeyCode(grab.spec.keyCode);
        // A chord someone else took meanwhile stays off until it is registered again.
        if (grab.key && this->grab(*grab.key, grab.modifiers) != 0)
            grab.key.reset();
    }
    m_down.clear();
}

void X11HotKeyRegistrar::scheduleRead()
{
    QTimer::singleShot(0, m_notifier.get(), [this] { readEvents(); });
}

void X11HotKeyRegistrar::readEvents()
{
    xcb_connection_t* c = m_connection->get();
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        XcbReply<xcb_generic_event_t> owned(event);
        handle(event);
    }
    if (xcb_connection_has_error(c))
        m_notifier->setEnabled(false);
}

void X11HotKeyRegistrar::handle(xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS: {
        const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        const quint16 modifiers = press->state & chordMask;
        for (const auto& [id, grab] : m_grabs) {
            if (grab.key == press->detail && grab.modifiers == modifiers) {
                m_down[press->detail] = id;
                if (onEvent)
                    onEvent(id, true);
                return;
            }
        }
        return;
    }
    case XCB_KEY_RELEASE: {
        const auto* release = reinterpret_cast<xcb_key_release_event_t*>(event);
        const auto down = m_down.find(release->detail);
        if (down == m_down.end())
            return;
        const quint32 id = down->second;
        m_down.erase(down);
        if (onEvent)
            onEvent(id, false);
        return;
    }
    case XCB_MAPPING_NOTIFY:
        if (reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
            remap();
        return;
    default:
        // XKB's events share one code; the second byte tells which.
        if (m_xkbEvent && event->response_type == m_xkbEvent && event->pad0 == XCB_XKB_MAP_NOTIFY)
            remap();
        return;
    }
}

} // namespace vorlith
