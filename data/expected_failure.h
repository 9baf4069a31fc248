#pragma once
// Calls whose failure is expected and harmless: closing a connection that may be gone already,
// aborting a transfer that may have ended, a refresh after work that is done. Such a call goes
// through IgnoreFailure with the reason it may fail, so every ignored failure says why it is
// harmless; a failure the user should know of is reported instead.

#include <exception>

// Runs `call`; when it raises, the failure is dropped. `reason` names why that is harmless (it
// documents the call site). Returns true when the call completed.
template <class Call> bool IgnoreFailure(const char* reason, Call&& call) noexcept {
    (void)reason;
    try {
        call();
        return true;
    } catch (const std::exception&) {
        return false;
    } catch (...) {
        return false;
    }
}
