#include "document_object.hh"

#include "arguments.hh"
#include "documentation.hh"
#include "engine_errors.hh"
#include "engine_state.hh"
#include "records.hh"
#include "text.hh"

#include "../document.hh"
#include "../dss.hh"
#include "../form_fields.hh"
#include "../revisions.hh"
#include "../signature_layout.hh"

#include <climits>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

namespace pdfengine::binding {
namespace {

struct DocumentObject {
    PyObject_HEAD
    PyObject* module;   // where the exception classes are looked up
    PyObject* pieces;   // tuple of the bytes objects (and file descriptors) the document reads
    Document* document;
    // Held by whichever thread works on the document, with the interpreter
    // lock released: taken only after releasing it, so no thread ever waits
    // for one while holding the other.
    std::mutex* busy;
};

DocumentObject& fields(PyObject* self) { return *reinterpret_cast<DocumentObject*>(self); }

py::Object module_of(PyObject* self) { return py::Object::borrow(fields(self).module); }

Document& document_of(PyObject* self) {
    if (fields(self).document == nullptr) py::raise(PyExc_ValueError, "the document is not open");
    return *fields(self).document;
}

// Runs `work(document)` with the interpreter lock released and the document
// to itself; `work` must not touch Python objects.
template <class Work>
auto document_work(PyObject* self, Work&& work) {
    py::Object module = module_of(self);
    Document& document = document_of(self);
    std::mutex& busy = *fields(self).busy;
    return run_engine_released(module, [&] {
        std::lock_guard<std::mutex> held(busy);
        return work(document);
    });
}

std::string_view bytes_view(const py::Object& value, const char* what) {
    if (!PyBytes_Check(value.get())) py::raise_format(PyExc_TypeError, "%s must be bytes", what);
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(value.get(), &data, &size) < 0) py::throw_error();
    return std::string_view(data, static_cast<std::size_t>(size));
}

std::vector<std::string> bytes_list(const py::Object& sequence, const char* what) {
    std::vector<std::string> result;
    if (sequence.is_none()) return result;
    py::Object items = py::Object::steal(PySequence_Fast(sequence.get(), what));
    Py_ssize_t count = PySequence_Size(items.get());
    if (count < 0) py::throw_error();
    for (Py_ssize_t i = 0; i < count; ++i) {
        py::Object item = py::Object::steal(PySequence_GetItem(items.get(), i));
        result.emplace_back(bytes_view(item, what));
    }
    return result;
}

std::optional<std::string> optional_text(const py::Object& value, const char* what) {
    if (value.is_none()) return std::nullopt;
    if (!PyUnicode_Check(value.get())) py::raise_format(PyExc_TypeError, "%s must be str or None", what);
    return value.text();
}

py::Object list_of(std::vector<py::Object> items) {
    py::Object list = py::Object::steal(PyList_New(0));
    for (const py::Object& item : items)
        if (PyList_Append(list.get(), item.get()) < 0) py::throw_error();
    return list;
}

py::Object name_or_none(const std::string& name) { return name.empty() ? py::none() : text(name); }

// --- methods -------------------------------------------------------------

PyObject* document_length(PyObject* self, PyObject*) {
    return py::guarded([&] {
        qpdf_offset_t length = document_work(self, [](Document& document) { return document.length(); });
        return py::integer(length).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_signatures(PyObject* self, PyObject*) {
    return py::guarded([&] {
        std::vector<SignatureRecord> records =
            document_work(self, [](Document& document) { return signatures(document.pdf()); });
        py::Object record_of = record_type("Signature");
        std::vector<py::Object> items;
        for (const SignatureRecord& record : records) {
            py::Object range = py::Object::steal(PyTuple_New(static_cast<Py_ssize_t>(record.byte_range.size())));
            for (std::size_t i = 0; i < record.byte_range.size(); ++i)
                if (PyTuple_SetItem(range.get(), static_cast<Py_ssize_t>(i), py::integer(record.byte_range[i]).release()) < 0)
                    py::throw_error();
            items.push_back(record_of(text(record.field), name_or_none(record.type), name_or_none(record.subfilter),
                                      range, py::bytes(record.contents)));
        }
        return list_of(std::move(items)).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_fields(PyObject* self, PyObject*) {
    return py::guarded([&] {
        using Field = std::tuple<std::string, std::string, bool>;
        std::vector<Field> found = document_work(self, [](Document& document) {
            std::vector<Field> result;
            for (FormField& field : form_fields(document.pdf()))
                result.emplace_back(std::move(field.name), std::move(field.type), !field.value.isNull());
            return result;
        });
        py::Object record_of = record_type("Field");
        std::vector<py::Object> items;
        for (const auto& [name, type, has_value] : found)
            items.push_back(record_of(text(name), name_or_none(type), py::boolean(has_value)));
        return list_of(std::move(items)).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_certification_permission(PyObject* self, PyObject*) {
    return py::guarded([&] {
        int permission =
            document_work(self, [](Document& document) { return certification_permission(document.pdf()); });
        return (permission == 0 ? py::none() : py::integer(permission)).release();
    }, static_cast<PyObject*>(nullptr));
}

double finite_number(const py::Object& value, const char* what) {
    if (PyBool_Check(value.get()) || !(PyLong_Check(value.get()) || PyFloat_Check(value.get())))
        py::raise_format(PyExc_TypeError, "%s must be numbers", what);
    double number = PyFloat_AsDouble(value.get());
    if (number == -1.0 && PyErr_Occurred()) py::throw_error();
    if (!std::isfinite(number)) py::raise_format(PyExc_ValueError, "%s must be finite numbers", what);
    return number;
}

// appearance=(page, (x1, y1, x2, y2), [line, ...]).
std::optional<VisibleAppearance> visible_appearance(const py::Object& value) {
    if (value.is_none()) return std::nullopt;
    std::vector<py::Object> parts = py::unpack(value, 3);
    VisibleAppearance appearance;
    if (!PyLong_Check(parts[0].get()) || PyBool_Check(parts[0].get()))
        py::raise(PyExc_TypeError, "the appearance page must be an int");
    long page = PyLong_AsLong(parts[0].get());
    if (page == -1 && PyErr_Occurred()) py::throw_error();
    if (page < 1 || page > INT_MAX) py::raise(PyExc_ValueError, "the appearance page must be 1 or more");
    appearance.page = static_cast<int>(page);
    std::vector<py::Object> box = py::unpack(parts[1], 4);
    for (std::size_t i = 0; i < 4; ++i) appearance.box[i] = finite_number(box[i], "the appearance box's corners");
    py::Object lines = py::Object::steal(PySequence_Fast(parts[2].get(), "the appearance lines must be a sequence"));
    Py_ssize_t count = PySequence_Size(lines.get());
    if (count < 0) py::throw_error();
    for (Py_ssize_t i = 0; i < count; ++i) {
        py::Object line = py::Object::steal(PySequence_GetItem(lines.get(), i));
        if (!PyUnicode_Check(line.get())) py::raise(PyExc_TypeError, "each appearance line must be str");
        appearance.lines.push_back(line.text());
    }
    return appearance;
}

// The arguments of prepare_signature and check_signature.
SignatureRequest signature_request(const char* method, PyObject* args, PyObject* kwargs) {
    const py::Parameters<10> parameters{
        method, {"field_name", "subfilter", "bytes_reserved", "reason", "signing_time", "document_timestamp",
                 "location", "contact_info", "docmdp_permissions", "appearance"}, 3};
    auto [field_name, subfilter, bytes_reserved, reason, signing_time, document_timestamp, location, contact_info,
          docmdp_permissions, appearance] = parameters.bind(args, kwargs);
    SignatureRequest request;
    if (!PyUnicode_Check(field_name.get())) py::raise(PyExc_TypeError, "field_name must be str");
    if (!PyUnicode_Check(subfilter.get())) py::raise(PyExc_TypeError, "subfilter must be str");
    request.field_name = field_name.text();
    request.subfilter = subfilter.text();
    if (!PyLong_Check(bytes_reserved.get()) || PyBool_Check(bytes_reserved.get()))
        py::raise(PyExc_TypeError, "bytes_reserved must be an int");
    int overflow = 0;
    long long reserved = PyLong_AsLongLongAndOverflow(bytes_reserved.get(), &overflow);
    if (reserved == -1 && PyErr_Occurred()) py::throw_error();
    if (overflow < 0 || (overflow == 0 && reserved <= 0)) py::raise(PyExc_ValueError, "bytes_reserved must be positive");
    // Too large a value is the engine's to refuse, with the limit in its message.
    request.bytes_reserved = overflow > 0 ? SIZE_MAX : static_cast<std::size_t>(reserved);
    request.reason = optional_text(reason, "reason");
    request.signing_time = optional_text(signing_time, "signing_time");
    request.document_timestamp = document_timestamp.truthy();
    request.location = optional_text(location, "location");
    request.contact_info = optional_text(contact_info, "contact_info");
    if (!docmdp_permissions.is_none()) {
        if (!PyLong_Check(docmdp_permissions.get()) || PyBool_Check(docmdp_permissions.get()))
            py::raise(PyExc_TypeError, "docmdp_permissions must be an int or None");
        long permissions = PyLong_AsLong(docmdp_permissions.get());
        if (permissions == -1 && PyErr_Occurred()) py::throw_error();
        if (permissions < 1 || permissions > 3) py::raise(PyExc_ValueError, "docmdp_permissions must be 1, 2 or 3");
        request.docmdp_permissions = static_cast<int>(permissions);
    }
    request.appearance = visible_appearance(appearance);
    return request;
}

PyObject* document_check_signature(PyObject* self, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        SignatureRequest request = signature_request("check_signature", args, kwargs);
        document_work(self, [&](Document& document) { check_signature_request(document, request); });
        return py::none().release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_prepare_signature(PyObject* self, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        SignatureRequest request = signature_request("prepare_signature", args, kwargs);
        PreparedSignature prepared =
            document_work(self, [&](Document& document) { return prepare_signature(document, request); });
        const auto& range = prepared.byte_range;
        py::Object byte_range = py::tuple({py::integer(range[0]), py::integer(range[1]), py::integer(range[2]),
                                           py::integer(range[3])});
        return record_type("PreparedSignature")(py::bytes(prepared.update), byte_range).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_append_dss(PyObject* self, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static constexpr py::Parameters<4> parameters{"append_dss", {"certs", "ocsps", "crls", "vri"}, 0};
        auto [certs, ocsps, crls, vri] = parameters.bind(args, kwargs);
        ValidationData data{bytes_list(certs, "certs items"), bytes_list(ocsps, "ocsps items"),
                            bytes_list(crls, "crls items")};
        std::vector<VriEntry> entries;
        if (!vri.is_none()) {
            py::Object items = py::Object::steal(PySequence_Fast(vri.get(), "vri must be a sequence"));
            Py_ssize_t count = PySequence_Size(items.get());
            if (count < 0) py::throw_error();
            for (Py_ssize_t i = 0; i < count; ++i) {
                std::vector<py::Object> entry = py::unpack(py::Object::steal(PySequence_GetItem(items.get(), i)), 4);
                if (!PyUnicode_Check(entry[0].get())) py::raise(PyExc_TypeError, "a vri key must be str");
                entries.push_back(VriEntry{entry[0].text(),
                                           {bytes_list(entry[1], "vri certs"), bytes_list(entry[2], "vri ocsps"),
                                            bytes_list(entry[3], "vri crls")}});
            }
        }
        std::string update =
            document_work(self, [&](Document& document) { return append_dss(document, data, entries); });
        return py::bytes(update).release();
    }, static_cast<PyObject*>(nullptr));
}

PyObject* document_extend(PyObject* self, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static constexpr py::Parameters<1> parameters{"extend", {"update"}, 1};
        auto [update] = parameters.bind(args, kwargs);
        std::string_view bytes = bytes_view(update, "update");
        document_work(self, [&](Document& document) { document.extend(bytes); });
        return py::none().release();
    }, static_cast<PyObject*>(nullptr));
}

// --- type ------------------------------------------------------------------

int document_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(reinterpret_cast<PyObject*>(Py_TYPE(self)));
    Py_VISIT(fields(self).module);
    Py_VISIT(fields(self).pieces);
    return 0;
}

int document_clear(PyObject* self) {
    // The engine reads the pieces in place: it goes before they do.
    delete std::exchange(fields(self).document, nullptr);
    delete std::exchange(fields(self).busy, nullptr);
    Py_CLEAR(fields(self).pieces);
    Py_CLEAR(fields(self).module);
    return 0;
}

void document_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    document_clear(self);
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

PyObject* document_new(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "cannot create 'Document' instances; use _pdfengine.open()");
    return nullptr;
}

PyMethodDef document_methods[] = {
    {"length", document_length, METH_NOARGS, py::method_doc<"length()", "Size of the document in bytes.">},
    {"signatures", document_signatures, METH_NOARGS,
     py::method_doc<"signatures()",
                    "Signed signature fields: (field, type, subfilter, byte_range, contents) tuples.">},
    {"fields", document_fields, METH_NOARGS,
     py::method_doc<"fields()", "Form fields: (qualified name, field type, has value) tuples.">},
    {"certification_permission", document_certification_permission, METH_NOARGS,
     py::method_doc<"certification_permission()", "DocMDP /P of the document's certification, or None.">},
    {"check_signature", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&document_check_signature)),
     METH_VARARGS | METH_KEYWORDS,
     py::method_doc<"check_signature(field_name, subfilter, bytes_reserved, reason=None, signing_time=None, "
                    "document_timestamp=False, location=None, contact_info=None, docmdp_permissions=None, "
                    "appearance=None)",
                    "Raise what prepare_signature would refuse, laying nothing out.">},
    {"prepare_signature", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&document_prepare_signature)),
     METH_VARARGS | METH_KEYWORDS,
     py::method_doc<"prepare_signature(field_name, subfilter, bytes_reserved, reason=None, signing_time=None, "
                    "document_timestamp=False, location=None, contact_info=None, docmdp_permissions=None, "
                    "appearance=None)",
                    "Lay out a signature field and dictionary: (update, byte_range).">},
    {"append_dss", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&document_append_dss)),
     METH_VARARGS | METH_KEYWORDS,
     py::method_doc<"append_dss(certs=(), ocsps=(), crls=(), vri=None)",
                    "Add validation data to the DSS: the update, b'' when nothing is new.">},
    {"extend", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&document_extend)),
     METH_VARARGS | METH_KEYWORDS,
     py::method_doc<"extend(update)",
                    "Take the update that prepare_signature or append_dss just returned, once appended to "
                    "the document's bytes, as the document's last revision, without reading anything again.">},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

py::Object create_document_type() {
    PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>("A PDF document read by the engine; made by open().")},
        {Py_tp_methods, document_methods},
        {Py_tp_new, reinterpret_cast<void*>(document_new)},
        {Py_tp_traverse, reinterpret_cast<void*>(document_traverse)},
        {Py_tp_clear, reinterpret_cast<void*>(document_clear)},
        {Py_tp_dealloc, reinterpret_cast<void*>(document_dealloc)},
        {0, nullptr},
    };
    PyType_Spec spec{"CorvaneSDK._pdfengine.Document",
                     sizeof(DocumentObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC, slots};
    return py::Object::steal(PyType_FromSpec(&spec));
}

py::Object open_document(const py::Object& module, const py::Object& pieces) {
    py::Object held;
    if (PyBytes_Check(pieces.get())) {
        held = py::tuple({pieces});
    } else if (PyTuple_Check(pieces.get()) || PyList_Check(pieces.get())) {
        held = py::Object::steal(PySequence_Tuple(pieces.get()));
    } else {
        py::raise(PyExc_TypeError, "the PDF document must be given as bytes or a sequence of bytes");
    }
    // A piece is bytes, read in place, or the descriptor of a file whose
    // bytes are read on demand (through a descriptor of the engine's own).
    std::vector<py::Object> items;
    std::vector<int> descriptors;
    Py_ssize_t count = PyTuple_Size(held.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        py::Object item = py::Object::borrow(PyTuple_GetItem(held.get(), i));
        int descriptor = -1;
        if (PyLong_Check(item.get()) && !PyBool_Check(item.get())) {
            long value = PyLong_AsLong(item.get());
            if (value == -1 && PyErr_Occurred()) py::throw_error();
            if (value < 0 || value > INT_MAX) py::raise(PyExc_ValueError, "a file descriptor must be a small non-negative int");
            descriptor = static_cast<int>(value);
        } else {
            bytes_view(item, "each piece of the document (bytes or a file descriptor)");
        }
        items.push_back(item);
        descriptors.push_back(descriptor);
    }

    PyObject* type = engine_state(module).document_type;
    py::Object self = py::Object::steal(PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type), 0));
    fields(self.get()).module = py::Object(module).release();
    fields(self.get()).pieces = held.release();
    fields(self.get()).busy = new std::mutex;
    // The caller's descriptors are duplicated while the caller cannot close them.
    std::vector<Piece> parts = run_engine(module, [&] {
        std::vector<Piece> result;
        for (std::size_t i = 0; i < items.size(); ++i)
            result.push_back(descriptors[i] >= 0 ? Piece::of_file(std::make_shared<InputFile>(descriptors[i]))
                                                 : Piece::of_memory(bytes_view(items[i], "a piece")));
        return result;
    });
    // Parsed without the interpreter lock: the bytes are immutable and held
    // by the new object, the files are read through the engine's own descriptors.
    fields(self.get()).document =
        run_engine_released(module, [&] { return new Document(std::move(parts)); });
    return self;
}

py::Object open_leading(const py::Object& module, const py::Object& document, long long end) {
    Document& whole = engine_document(module, document);
    std::mutex& busy = document_lock(document);
    PyObject* type = engine_state(module).document_type;
    py::Object self = py::Object::steal(PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type), 0));
    fields(self.get()).module = py::Object(module).release();
    // The same bytes objects (and file descriptors): they live as long as either document.
    fields(self.get()).pieces = py::Object::borrow(fields(document.get()).pieces).release();
    fields(self.get()).busy = new std::mutex;
    std::optional<std::vector<Piece>> pieces = run_engine_released(module, [&] {
        std::lock_guard<std::mutex> held(busy);
        if (end < 0 || end > whole.length()) return std::optional<std::vector<Piece>>();
        return std::optional<std::vector<Piece>>(leading_pieces(whole, static_cast<qpdf_offset_t>(end)));
    });
    if (!pieces) py::raise(PyExc_ValueError, "the end lies outside the document");
    fields(self.get()).document = run_engine_released(module, [&] { return new Document(std::move(*pieces)); });
    return self;
}

std::mutex& document_lock(const py::Object& object) { return *fields(object.get()).busy; }

Document& engine_document(const py::Object& module, const py::Object& object) {
    // The exact type, not isinstance(): that honours __class__, and anything
    // claiming to be a Document would be read as one.
    PyObject* type = engine_state(module).document_type;
    if (reinterpret_cast<PyObject*>(Py_TYPE(object.get())) != type)
        py::raise(PyExc_TypeError, "expected a document opened by _pdfengine.open()");
    return document_of(object.get());
}

}  // namespace pdfengine::binding
