// Text from the engine for Python: names, field names and messages come from
// the document's bytes, which need not be UTF-8. Undecodable bytes become
// U+FFFD instead of a UnicodeDecodeError in the caller's face.
#pragma once

#include "object.hh"

#include <optional>
#include <string>
#include <string_view>

namespace pdfengine::binding {

inline py::Object text(std::string_view bytes) {
    return py::Object::steal(
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "replace"));
}

inline py::Object text_or_none(const std::optional<std::string>& bytes) {
    return bytes ? text(*bytes) : py::none();
}

}  // namespace pdfengine::binding
