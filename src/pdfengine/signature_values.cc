#include "signature_values.hh"

#include "form_fields.hh"

namespace pdfengine {

std::vector<SignatureValue> signature_values(QPDF& pdf) {
    std::vector<SignatureValue> result;
    for (const FormField& field : form_fields(pdf)) {
        // The same fields as signatures(): terminal signature fields with a dictionary value.
        if (field.type != "/Sig" || !field.terminal) continue;
        QPDFObjectHandle value = field.value;
        if (!value.isDictionary()) continue;
        result.push_back(SignatureValue{field.name, value.getJSON(2, true).unparse()});
    }
    return result;
}

}  // namespace pdfengine
