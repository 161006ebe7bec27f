#include "signature_values.hh"

#include "form_fields.hh"

namespace pdfengine {

std::vector<SignatureValue> signature_values(QPDF& pdf) {
    std::vector<SignatureValue> result;
    SharedOutputBudget budget("signature dictionary");
    for (const FormField& field : form_fields(pdf)) {
        // The same fields as signatures(): terminal signature fields with a dictionary value.
        if (field.type != "/Sig" || !field.terminal) continue;
        QPDFObjectHandle value = field.value;
        if (!value.isDictionary()) continue;
        SignatureValue entry{field.name, value.getJSON(2, true).unparse()};
        budget.add(field.value_source, entry.json.size());
        result.push_back(std::move(entry));
    }
    return result;
}

}  // namespace pdfengine
