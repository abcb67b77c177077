#include "platform/x11/X11HotKeyCodes.h"

#include <cstdlib>

namespace vorlith {

namespace {

constexpr quint16 evdevToX = 8;

// Virtual key code, evdev code, key symbol, name. Letters and digits by their US positions.
constexpr X11HotKeyCodes::Key keys[] = {
    {0, 30, 'a', "A"},          {1, 31, 's', "S"},          {2, 32, 'd', "D"},
    {3, 33, 'f', "F"},          {4, 35, 'h', "H"},          {5, 34, 'g', "G"},
    {6, 44, 'z', "Z"},          {7, 45, 'x', "X"},          {8, 46, 'c', "C"},
    {9, 47, 'v', "V"},          {10, 86, 0x3c, "§"},        {11, 48, 'b', "B"},
    {12, 16, 'q', "Q"},         {13, 17, 'w', "W"},         {14, 18, 'e', "E"},
    {15, 19, 'r', "R"},         {16, 21, 'y', "Y"},         {17, 20, 't', "T"},
    {18, 2, '1', "1"},          {19, 3, '2', "2"},          {20, 4, '3', "3"},
    {21, 5, '4', "4"},          {22, 7, '6', "6"},          {23, 6, '5', "5"},
    {24, 13, '=', "="},         {25, 10, '9', "9"},         {26, 8, '7', "7"},
    {27, 12, '-', "-"},         {28, 9, '8', "8"},          {29, 11, '0', "0"},
    {30, 27, ']', "]"},         {31, 24, 'o', "O"},         {32, 22, 'u', "U"},
    {33, 26, '[', "["},         {34, 23, 'i', "I"},         {35, 25, 'p', "P"},
    {36, 28, 0xff0d, "Return"}, {37, 38, 'l', "L"},         {38, 36, 'j', "J"},
    {39, 40, '\'', "'"},        {40, 37, 'k', "K"},         {41, 39, ';', ";"},
    {42, 43, '\\', "\\"},       {43, 51, ',', ","},         {44, 53, '/', "/"},
    {45, 49, 'n', "N"},         {46, 50, 'm', "M"},         {47, 52, '.', "."},
    {48, 15, 0xff09, "Tab"},    {49, 57, ' ', "Space"},     {50, 41, '`', "`"},
    {51, 14, 0xff08, "Delete"}, {53, 1, 0xff1b, "Esc"},     {64, 187, 0xffce, "F17"},
    {65, 83, 0xffae, "Keypad ."}, {67, 55, 0xffaa, "Keypad *"}, {69, 78, 0xffab, "Keypad +"},
    {72, 115, 0x1008ff13, "VolumeUp"}, {73, 114, 0x1008ff11, "VolumeDown"}, {74, 113, 0x1008ff12, "Mute"},
    {75, 98, 0xffaf, "Keypad /"}, {76, 96, 0xff8d, "Enter"}, {78, 74, 0xffad, "Keypad -"},
    {79, 188, 0xffcf, "F18"},   {80, 189, 0xffd0, "F19"},   {81, 117, 0xffbd, "Keypad ="},
    {82, 82, 0xffb0, "Keypad 0"}, {83, 79, 0xffb1, "Keypad 1"}, {84, 80, 0xffb2, "Keypad 2"},
    {85, 81, 0xffb3, "Keypad 3"}, {86, 75, 0xffb4, "Keypad 4"}, {87, 76, 0xffb5, "Keypad 5"},
    {88, 77, 0xffb6, "Keypad 6"}, {89, 71, 0xffb7, "Keypad 7"}, {90, 190, 0xffd1, "F20"},
    {91, 72, 0xffb8, "Keypad 8"}, {92, 73, 0xffb9, "Keypad 9"}, {96, 63, 0xffc2, "F5"},
    {97, 64, 0xffc3, "F6"},     {98, 65, 0xffc4, "F7"},     {99, 61, 0xffc0, "F3"},
    {100, 66, 0xffc5, "F8"},    {101, 67, 0xffc6, "F9"},    {103, 87, 0xffc8, "F11"},
    {105, 183, 0xffca, "F13"},  {106, 186, 0xffcd, "F16"},  {107, 184, 0xffcb, "F14"},
    {109, 68, 0xffc7, "F10"},   {111, 88, 0xffc9, "F12"},   {113, 185, 0xffcc, "F15"},
    {114, 138, 0xff6a, "Help"}, {115, 102, 0xff50, "Home"}, {116, 104, 0xff55, "PageUp"},
    {117, 111, 0xffff, "ForwardDelete"}, {118, 62, 0xffc1, "F4"}, {119, 107, 0xff57, "End"},
    {120, 60, 0xffbf, "F2"},    {121, 109, 0xff56, "PageDown"}, {122, 59, 0xffbe, "F1"},
    {123, 105, 0xff51, "Left"}, {124, 106, 0xff53, "Right"}, {125, 108, 0xff54, "Down"},
    {126, 103, 0xff52, "Up"},
};

constexpr quint32 f1KeyCode = 122;

} // namespace

const X11HotKeyCodes::Key* X11HotKeyCodes::find(quint32 keyCode)
{
    for (const Key& key : keys) {
        if (key.keyCode == keyCode)
            return &key;
    }
    return nullptr;
}

QString X11HotKeyCodes::name(quint32 keyCode)
{
    const Key* key = find(keyCode);
    return key ? QString::fromUtf8(key->name) : QString();
}

quint16 X11HotKeyCodes::xModifiers(quint32 modifiers)
{
    quint16 mask = 0;
    if (modifiers & 0x100) // command
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 0x200) // shift
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 0x800) // option
        mask |= XCB_MOD_MASK_1;
    if (modifiers & 0x1000) // control
        mask |= XCB_MOD_MASK_4;
    return mask;
}

X11HotKeyCodes::X11HotKeyCodes(xcb_connection_t* connection)
    : m_connection(connection), m_symbols(xcb_key_symbols_alloc(connection))
{
    decide();
}

X11HotKeyCodes::~X11HotKeyCodes()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

void X11HotKeyCodes::decide()
{
    const Key* f1 = find(f1KeyCode);
    m_bySymbol = m_symbols &&
                 xcb_key_symbols_get_keysym(m_symbols, xcb_keycode_t(f1->evdev + evdevToX), 0) != f1->keysym;
}

void X11HotKeyCodes::reload()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    m_symbols = xcb_key_symbols_alloc(m_connection);
    decide();
}

std::optional<quint32> X11HotKeyCodes::keyCode(xcb_keycode_t key) const
{
    if (m_bySymbol) {
        const xcb_keysym_t symbol = m_symbols ? xcb_key_symbols_get_keysym(m_symbols, key, 0) : XCB_NO_SYMBOL;
        for (const Key& entry : keys) {
            if (symbol != XCB_NO_SYMBOL && entry.keysym == symbol)
                return entry.keyCode;
        }
        return std::nullopt;
    }
    for (const Key& entry : keys) {
        if (entry.evdev + evdevToX == key)
            return entry.keyCode;
    }
    return std::nullopt;
}

QString X11HotKeyCodes::characters(xcb_keycode_t key) const
{
    const xcb_keysym_t symbol = m_symbols ? xcb_key_symbols_get_keysym(m_symbols, key, 0) : XCB_NO_SYMBOL;
    char32_t code = 0;
    if ((symbol >= 0x20 && symbol <= 0x7e) || (symbol >= 0xa0 && symbol <= 0xff))
        code = char32_t(symbol); // Latin-1 symbols are their own characters
    else if (symbol >= 0x01000100 && symbol <= 0x0110ffff)
        code = char32_t(symbol - 0x01000000); // a Unicode symbol
    return code ? QString::fromUcs4(&code, 1) : QString();
}

std::optional<xcb_keycode_t> X11HotKeyCodes::xKeyCode(quint32 keyCode) const
{
    const Key* key = find(keyCode);
    if (!key)
        return std::nullopt;
    if (!m_bySymbol)
        return xcb_keycode_t(key->evdev + evdevToX);
    xcb_keycode_t* found = xcb_key_symbols_get_keycode(m_symbols, key->keysym);
    std::optional<xcb_keycode_t> result;
    if (found && found[0] != XCB_NO_SYMBOL)
        result = found[0];
    std::free(found);
    return result;
}

} // namespace vorlith
