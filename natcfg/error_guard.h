#pragma once
// The error guard around every configurator operation that calls the platform:
// a COM error becomes one box with the composed text, anything else one
// "Unknown error:" box, and the operation returns its failure result.
#include <windows.h>

#include <exception>
#include <string>

#include "natcfg/portolan.h"

namespace natcfg {

// A configurator box: no owner window.
void ShowBox(const std::string& text, const char* caption, UINT type);
// Both fall back quietly when memory is too short even for the box.
void ShowComErrorBox(Portolan& configurator, const ComError& error, const char* operation, const char* caption) noexcept;
void ShowUnknownErrorBox(const char* operation) noexcept;

template <typename Result, typename Body>
Result RunGuarded(Portolan& configurator, const char* operation, const char* comCaption, Result failure,
                  Body&& body) noexcept {
    try {
        return body();
    } catch (const ComError& error) {
        ShowComErrorBox(configurator, error, operation, comCaption);
    } catch (...) {
        ShowUnknownErrorBox(operation);
    }
    return failure;
}

}  // namespace natcfg
