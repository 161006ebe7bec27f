// The named records the binding returns, declared once in Python
// (CorvaneSDK._pdfengine_records, where each field is documented).
#pragma once

#include "object.hh"

namespace pdfengine::binding {

inline py::Object record_type(const char* name) {
    return py::import("CorvaneSDK._pdfengine_records").attr(name);
}

}  // namespace pdfengine::binding
