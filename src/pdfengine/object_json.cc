#include "object_json.hh"

namespace pdfengine {

std::optional<std::string> object_json(QPDF& pdf, QPDFObjGen id) {
    QPDFObjectHandle object = pdf.getObject(id);
    if (object.isNull()) return std::nullopt;
    return object.getJSON(2, true).unparse();
}

}  // namespace pdfengine
