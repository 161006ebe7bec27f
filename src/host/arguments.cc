#include "arguments.hh"

#include <string>

namespace py::detail {
namespace {

std::string quoted_list(const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += names.size() > 2 ? ", " : " ";
        if (i > 0 && i + 1 == names.size()) text += "and ";
        text += "'";
        text += names[i];
        text += "'";
    }
    return text;
}

[[noreturn]] void too_many_positional(const char* function, std::size_t count,
                                      std::size_t required, std::size_t given) {
    if (required == count) {
        raise_format(PyExc_TypeError, "%s() takes %zu positional argument%s but %zu %s given",
                     function, count, count == 1 ? "" : "s", given, given == 1 ? "was" : "were");
    }
    raise_format(PyExc_TypeError, "%s() takes from %zu to %zu positional arguments but %zu %s given",
                 function, required, count, given, given == 1 ? "was" : "were");
}

}  // namespace

void bind_arguments(const char* function, const char* const* parameters, std::size_t count,
                    std::size_t required, PyObject* args, PyObject* kwargs, Object* bound) {
    Py_ssize_t positional = args != nullptr ? PyTuple_Size(args) : 0;
    if (positional < 0) throw_error();
    if (static_cast<std::size_t>(positional) > count)
        too_many_positional(function, count, required, static_cast<std::size_t>(positional));
    for (Py_ssize_t i = 0; i < positional; ++i) bound[i] = Object::borrow(PyTuple_GetItem(args, i));

    if (kwargs != nullptr) {
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        Py_ssize_t position = 0;
        while (PyDict_Next(kwargs, &position, &key, &value)) {
            if (!PyUnicode_Check(key)) raise(PyExc_TypeError, "keywords must be strings");
            std::size_t index = 0;
            while (index < count && PyUnicode_CompareWithASCIIString(key, parameters[index]) != 0)
                ++index;
            if (index == count)
                raise_format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'",
                             function, key);
            if (bound[index])
                raise_format(PyExc_TypeError, "%s() got multiple values for argument '%s'",
                             function, parameters[index]);
            bound[index] = Object::borrow(value);
        }
    }

    std::vector<const char*> missing;
    for (std::size_t i = 0; i < count; ++i) {
        if (bound[i]) continue;
        if (i < required) missing.push_back(parameters[i]);
        else bound[i] = none();
    }
    if (!missing.empty()) {
        std::string names = quoted_list(missing);
        raise_format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s",
                     function, missing.size(), missing.size() == 1 ? "" : "s", names.c_str());
    }
}

}  // namespace py::detail
