#pragma once

// Observation points of the host services, for tests and the driver. Every hook is optional;
// an empty std::function means "not installed".

#include "platform/toolkit/data/variant.h"

#include <functional>
#include <string>

namespace host {

struct Hooks
{
    // Every show (shown = true) and hide of the busy indicator, with its kind and the text shown.
    // The indicator still shows; the hook only records.
    std::function<void(bool shown, int kind, const std::string &text)> onBusy;
    // Receives the text of MensErro instead of the error dialog.
    std::function<void(const std::string &text)> onMensErro;
    // Replaces the real launch of LoadBPL (no library is loaded); runs after the code is validated.
    std::function<void(const std::string &code, const tk::Variant &args)> launcher;
    // Records every LoadBPL with a valid code, before the launch (real or replaced).
    std::function<void(const std::string &code, const tk::Variant &args)> onLoadBPL;
};

// The process-wide hooks (user-interface thread only).
Hooks &GetHooks();

// Installs hooks for a scope and restores the previous ones at its end.
class HooksGuard
{
public:
    explicit HooksGuard(Hooks hooks) : m_saved(GetHooks()) { GetHooks() = std::move(hooks); }
    ~HooksGuard() { GetHooks() = std::move(m_saved); }
    HooksGuard(const HooksGuard &) = delete;
    HooksGuard &operator=(const HooksGuard &) = delete;

private:
    Hooks m_saved;
};

} // namespace host
