// The one place that includes the CPython headers: every extension of the
// package uses the limited API of CPython 3.9 (set by the build).
#pragma once

#ifndef Py_LIMITED_API
#error "extensions are built against the limited API (Py_LIMITED_API)"
#endif

#define PY_SSIZE_T_CLEAN
#include <Python.h>
