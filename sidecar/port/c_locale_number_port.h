// CLocaleNumberPort: reading a floating-point number exactly as the C
// library's `strtod` reads it in the C locale, whatever locale the process
// is in (a decimal point is always '.').
//
// The C library offers this through a locale object and `strtod_l`, declared
// in a different header on each platform, so each backend implements it.
// Unlike the other ports it is one free function, not part of
// SidecarPlatform: the command-line reader is a pure function of its
// arguments and is given no platform object. The backend's implementation
// is linked into the core library (see CMakeLists.txt).
#pragma once

namespace kestrovan::sidecar {

// `strtod(text, end)` in the C locale: the same value, the same end, the
// same handling of ERANGE. `text` is terminated by NUL.
double strtodInCLocale(const char* text, char** end);

}  // namespace kestrovan::sidecar
