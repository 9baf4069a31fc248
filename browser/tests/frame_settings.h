#pragma once
// Changes one of a frame's session settings the way a reload would: the whole value at once.

#include "browser/browser_frame.h"

#include <type_traits>

template <class T>
void SetSetting(TBrowserFrame& frame, T TSessionSettings::*field, std::type_identity_t<T> value) {
    TSessionSettings settings = frame.settings();
    settings.*field = std::move(value);
    frame.SetSettings(settings);
}
