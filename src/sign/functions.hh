// The functions of CorvaneSDK.sign, each implemented in its own file.
#pragma once

#include "object.hh"

namespace corvane::sign {

py::Object crvn_request_certificate_info(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object crvn_request_user_info(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object prep_document(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object proceed_with_signing(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object full_procedure(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object full_procedure_test(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object sign_crvn(const py::Object& module, PyObject* args, PyObject* kwargs);
py::Object sign_test(const py::Object& module, PyObject* args, PyObject* kwargs);

}  // namespace corvane::sign
