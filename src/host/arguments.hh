// Binding of positional-or-keyword parameters, as a Python `def` binds them:
// a missing, surplus, duplicated or unknown argument raises TypeError with the
// interpreter's own wording before the function does any work.
#pragma once

#include "object.hh"

#include <array>
#include <cstddef>

namespace py {

namespace detail {
void bind_arguments(const char* function, const char* const* parameters, std::size_t count,
                    std::size_t required, PyObject* args, PyObject* kwargs, Object* bound);
}

template <std::size_t N>
struct Parameters {
    const char* function;
    std::array<const char*, N> names;
    // The first `required` parameters have no default; the rest default to None.
    std::size_t required = N;

    std::array<Object, N> bind(PyObject* args, PyObject* kwargs) const {
        std::array<Object, N> bound;
        detail::bind_arguments(function, names.data(), N, required, args, kwargs, bound.data());
        return bound;
    }
};

}  // namespace py
