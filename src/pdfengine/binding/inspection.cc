#include "inspection.hh"

#include "arguments.hh"
#include "document_object.hh"
#include "engine_errors.hh"
#include "module.hh"
#include "records.hh"
#include "text.hh"

#include "../errors.hh"
#include "../object_json.hh"
#include "../object_graph.hh"
#include "../revisions.hh"
#include "../signature_values.hh"
#include "../stream_decoding.hh"

#include <mutex>
#include <optional>
#include <string>

namespace pdfengine::binding {
namespace {

py::Object new_list() { return py::Object::steal(PyList_New(0)); }

void append(const py::Object& list, const py::Object& item) {
    if (PyList_Append(list.get(), item.get()) < 0) py::throw_error();
}

QPDFObjGen object_id(const py::Object& number, const py::Object& generation) {
    long long object = PyLong_AsLongLong(number.get());
    if (object == -1 && PyErr_Occurred()) py::throw_error();
    long long gen = PyLong_AsLongLong(generation.get());
    if (gen == -1 && PyErr_Occurred()) py::throw_error();
    if (object < 1 || object > 0x7fffffff || gen < 0 || gen > 65535)
        py::raise(PyExc_ValueError, "no PDF object has this number and generation");
    return QPDFObjGen(static_cast<int>(object), static_cast<int>(gen));
}

// Runs `body(engine document)` without the interpreter lock, holding the
// document's own lock: another thread may be extending it meanwhile.
template <class Body>
auto reading(const py::Object& module, const py::Object& document, Body&& body) {
    Document& engine = engine_document(module, document);
    std::mutex& busy = document_lock(document);
    return run_engine_released(module, [&] {
        std::lock_guard<std::mutex> held(busy);
        return body(engine);
    });
}

// qpdf JSON text as the Python value it stands for.
py::Object decoded(const std::string& json) { return py::import("json").attr("loads")(text(json)); }

py::Object decoded_or_none(const std::optional<std::string>& json) { return json ? decoded(*json) : py::none(); }

py::Object revisions_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"revisions", {"document"}};
    auto [document] = parameters.bind(args, kwargs);
    std::vector<Revision> found = reading(module, document, [](Document& engine) { return revisions(engine); });
    py::Object record = record_type("Revision");
    py::Object result = new_list();
    for (const Revision& revision : found)
        append(result, record(py::integer(revision.xref_offset), py::integer(revision.end)));
    return result;
}

py::Object leading_document_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"leading_document", {"document", "end"}};
    auto [document, end] = parameters.bind(args, kwargs);
    long long offset = PyLong_AsLongLong(end.get());
    if (offset == -1 && PyErr_Occurred()) py::throw_error();
    return open_leading(module, document, offset);
}

py::Object reach_record(const py::Object& reach_type, const py::Object& referrer_type, const Reach& reach) {
    py::Object referrers = new_list();
    for (const Referrer& referrer : reach.referrers)
        append(referrers, referrer_type(py::integer(referrer.from.getObj()), py::integer(referrer.from.getGen()),
                                        text(referrer.path)));
    return reach_type(py::boolean(reach.content), py::boolean(reach.validation_data), referrers);
}

py::Object graph_differences_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<2> parameters{"graph_differences", {"earlier", "later"}};
    auto [earlier, later] = parameters.bind(args, kwargs);
    Document& earlier_document = engine_document(module, earlier);
    Document& later_document = engine_document(module, later);
    std::mutex& earlier_busy = document_lock(earlier);
    std::mutex& later_busy = document_lock(later);
    std::vector<GraphDifference> differences = run_engine_released(module, [&] {
        std::unique_lock<std::mutex> first(earlier_busy, std::defer_lock);
        std::unique_lock<std::mutex> second(later_busy, std::defer_lock);
        if (&earlier_busy == &later_busy) first.lock();
        else std::lock(first, second);
        return graph_differences(earlier_document, later_document);
    });
    py::Object record = record_type("GraphDifference");
    py::Object reach_type = record_type("Reach");
    py::Object referrer_type = record_type("Referrer");
    py::Object result = new_list();
    for (const GraphDifference& difference : differences)
        append(result, record(py::integer(difference.id.getObj()), py::integer(difference.id.getGen()),
                              decoded_or_none(difference.before), decoded_or_none(difference.after),
                              py::boolean(difference.same), py::boolean(difference.data_changed),
                              py::boolean(difference.generation_conflict),
                              reach_record(reach_type, referrer_type, difference.earlier),
                              reach_record(reach_type, referrer_type, difference.later)));
    return result;
}

py::Object object_json_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<3> parameters{"object_json", {"document", "number", "generation"}};
    auto [document, number, generation] = parameters.bind(args, kwargs);
    QPDFObjGen id = object_id(number, generation);
    return decoded_or_none(reading(module, document, [&](Document& engine) { return object_json(engine.pdf(), id); }));
}

py::Object trailer_json_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"trailer_json", {"document"}};
    auto [document] = parameters.bind(args, kwargs);
    return decoded(reading(module, document,
                           [](Document& engine) { return engine.pdf().getTrailer().getJSON(2).unparse(); }));
}

py::Object stream_data_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<3> parameters{"stream_data", {"document", "number", "generation"}};
    auto [document, number, generation] = parameters.bind(args, kwargs);
    QPDFObjGen id = object_id(number, generation);
    std::string data = reading(module, document, [&](Document& engine) { return decoded_stream_data(engine, id); });
    return py::bytes(data);
}

py::Object signature_values_function(const py::Object& module, PyObject* args, PyObject* kwargs) {
    static constexpr py::Parameters<1> parameters{"signature_values", {"document"}};
    auto [document] = parameters.bind(args, kwargs);
    std::vector<SignatureValue> values =
        reading(module, document, [](Document& engine) { return signature_values(engine.pdf()); });
    py::Object record = record_type("SignatureValue");
    py::Object result = new_list();
    for (const SignatureValue& value : values) append(result, record(text(value.field), decoded(value.json)));
    return result;
}

PyMethodDef definitions[] = {
    py::function<revisions_function, "revisions(document)",
                 "Revisions of the document in file order, as Revision records.">(),
    py::function<leading_document_function, "leading_document(document, end)",
                 "The document as its first `end` bytes read (an earlier revision), over the same bytes "
                 "and file: nothing is copied.">(),
    py::function<graph_differences_function, "graph_differences(earlier, later)",
                 "Objects reachable from the trailer of `earlier` or of `later` (a later revision of the "
                 "same file) whose resolution differs between the two, as GraphDifference records.">(),
    py::function<object_json_function, "object_json(document, number, generation)",
                 "The object decoded from qpdf JSON, or None when the document has no such object.">(),
    py::function<trailer_json_function, "trailer_json(document)", "The trailer dictionary decoded from qpdf JSON.">(),
    py::function<stream_data_function, "stream_data(document, number, generation)",
                 "The decoded data of a stream object.">(),
    py::function<signature_values_function, "signature_values(document)",
                 "Signature dictionaries of the signed fields, as SignatureValue records.">(),
};

}  // namespace

void bind_inspection(const py::Object& module) {
    for (PyMethodDef& definition : definitions) py::bind_function(module, &definition);
}

}  // namespace pdfengine::binding
