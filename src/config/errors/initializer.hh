// The initializer of ConfigurationError: a callable bound as a method, with
// the name, qualified name and annotations that a Python `def` would carry.
#pragma once

#include "object.hh"

namespace corvane::errors {

// A new initializer function object; its class is attached afterwards,
// because the class is built around it.
py::Object make_initializer(const py::Object& module_name);
void attach_owner(const py::Object& initializer, const py::Object& owner);

}  // namespace corvane::errors
