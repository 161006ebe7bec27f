// The functions of CorvaneSDK.timestamp.
#pragma once

#include "object.hh"

namespace corvane::timestamp {

py::Object crvn_request_timestamp_info(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object timestamp_crvn(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object timestamp_test(const py::Object& module, PyObject* args, PyObject* kwargs);

}  // namespace corvane::timestamp
