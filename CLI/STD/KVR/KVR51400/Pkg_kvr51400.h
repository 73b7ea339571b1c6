#pragma once

#include <QtGlobal>

// Load and unload entries of the module, called by the host's module loader
// right after loading the library and right before unloading it. Failures
// are reported inside; no exception leaves them.
extern "C" {
Q_DECL_EXPORT void Initialize();
Q_DECL_EXPORT void Finalize();
}
