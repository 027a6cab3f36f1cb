// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/keyboard.h"

#include <QGuiApplication>
#include <dlfcn.h>
#include <optional>

namespace platform {
namespace {

KeyStateSource& Source() {
    static KeyStateSource source;
    return source;
}

// The two libX11 entry points needed, looked up at run time so that the program neither links
// against libX11 nor fails where it is missing. Display* and Atom are passed as their ABI types.
using XInternAtomFn = unsigned long (*)(void* display, const char* name, int onlyIfExists);
using XkbGetNamedIndicatorFn = int (*)(void* display, unsigned long name, int* index, int* state,
                                       void* map, int* real);

struct X11Functions {
    XInternAtomFn internAtom = nullptr;
    XkbGetNamedIndicatorFn getNamedIndicator = nullptr;
};

const X11Functions& X11() {
    static const X11Functions functions = [] {
        X11Functions f;
        void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (!lib)
            return f;
        f.internAtom = reinterpret_cast<XInternAtomFn>(dlsym(lib, "XInternAtom"));
        f.getNamedIndicator =
            reinterpret_cast<XkbGetNamedIndicatorFn>(dlsym(lib, "XkbGetNamedIndicator"));
        return f;
    }();
    return functions;
}

void* X11Display() {
#if QT_CONFIG(xcb)
    auto* app = qGuiApp;
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
        return x11->display();
#endif
    return nullptr;
}

// The indicator's state; nothing when the keyboard has no indicator of that name.
std::optional<bool> NamedIndicator(void* display, const char* name) {
    const X11Functions& x = X11();
    if (!x.internAtom || !x.getNamedIndicator)
        return std::nullopt;
    const unsigned long atom = x.internAtom(display, name, 1);
    if (atom == 0)
        return std::nullopt;
    int index = 0, state = 0, real = 0;
    if (!x.getNamedIndicator(display, atom, &index, &state, nullptr, &real))
        return std::nullopt;
    return state != 0;
}

bool SystemKanaLock() {
    void* display = X11Display();
    if (!display)
        return false;
    // Nearly every XKB keymap names a Kana indicator, also where no key ever lights it, so
    // Scroll Lock is consulted whenever Kana is not lit, not only when the name is missing.
    if (NamedIndicator(display, "Kana").value_or(false))
        return true;
    return NamedIndicator(display, "Scroll Lock").value_or(false);
}

} // namespace

bool KanaLockOn() {
    return Source() ? Source()() : SystemKanaLock();
}

KeyStateSource SetKanaLockSource(KeyStateSource source) {
    KeyStateSource previous = std::move(Source());
    Source() = std::move(source);
    return previous;
}

} // namespace platform
