#include "form_fields.hh"

#include "errors.hh"
#include "limits.hh"

#include <set>

namespace pdfengine {
namespace {

// Deep or cyclic field trees are malformed; stop descending rather than loop.
constexpr int kMaxDepth = kMaxFieldDepth;

bool is_child_field(QPDFObjectHandle kid) {
    return kid.isDictionary() && (kid.hasKey("/T") || kid.hasKey("/FT") || kid.hasKey("/Kids"));
}

// Every indirect object is expanded once: fields that share a subtree (an
// indirect field, or an indirect /Kids array) would otherwise be walked once
// per path to it, exponentially many for a small document.
struct Walker {
    std::vector<FormField> fields;
    std::set<QPDFObjGen> seen;

    void visit(QPDFObjectHandle dict, QPDFObjectHandle holder, const FormField* parent, int depth) {
        if (!dict.isDictionary() || depth > kMaxDepth) return;
        if (dict.isIndirect() && !seen.insert(dict.getObjGen()).second) return;
        FormField field;
        field.dict = dict;
        field.holder = dict.isIndirect() ? dict : holder;
        std::string partial = dict.getKey("/T").isString() ? dict.getKey("/T").getUTF8Value() : "";
        if (parent == nullptr) field.name = partial;
        else if (partial.empty()) field.name = parent->name;
        else field.name = parent->name.empty() ? partial : parent->name + "." + partial;
        QPDFObjectHandle type = dict.getKey("/FT");
        field.type = type.isName() ? type.getName() : (parent ? parent->type : "");
        if (dict.hasKey("/V")) {
            field.value = dict.getKey("/V");
            field.value_source = field.value.isIndirect() ? field.value.getObjGen() : field.holder.getObjGen();
        } else if (parent) {
            field.value = parent->value;
            field.value_source = parent->value_source;
        } else {
            field.value = QPDFObjectHandle::newNull();
        }
        QPDFObjectHandle kids = dict.getKey("/Kids");
        std::vector<QPDFObjectHandle> child_fields;
        if (kids.isArray()) {
            for (QPDFObjectHandle kid : kids.getArrayAsVector())
                if (is_child_field(kid)) child_fields.push_back(kid);
        }
        field.terminal = child_fields.empty();
        fields.push_back(field);
        if (kids.isIndirect() && !seen.insert(kids.getObjGen()).second) return;
        for (QPDFObjectHandle kid : child_fields) visit(kid, field.holder, &field, depth + 1);
    }
};

}  // namespace

std::vector<FormField> form_fields(QPDF& pdf) {
    Walker walker;
    QPDFObjectHandle form = pdf.getRoot().getKey("/AcroForm");
    if (!form.isDictionary()) return {};
    QPDFObjectHandle fields = form.getKey("/Fields");
    if (!fields.isArray()) return {};
    QPDFObjectHandle holder = fields.isIndirect() ? fields : form.isIndirect() ? form : pdf.getRoot();
    for (QPDFObjectHandle field : fields.getArrayAsVector()) walker.visit(field, holder, nullptr, 0);
    return walker.fields;
}

void SharedOutputBudget::add(QPDFObjGen source, std::size_t size) {
    total_ += size;
    if (!source.isIndirect() || distinct_sources_.insert(source).second) distinct_ += size;
    if (total_ > 2 * distinct_ + static_cast<std::size_t>(kOutputSlack))
        fail(Failure::read, std::string("the document's form lists the same large ") + what_ +
                                " under so many fields that reading them would take " +
                                std::to_string(total_ >> 20) + " MiB or more: the form is damaged");
}

std::vector<SignatureRecord> signatures(QPDF& pdf) {
    std::vector<SignatureRecord> result;
    SharedOutputBudget budget("signature value");
    for (const FormField& field : form_fields(pdf)) {
        if (field.type != "/Sig" || !field.terminal) continue;
        QPDFObjectHandle value = field.value;
        if (!value.isDictionary()) continue;
        SignatureRecord record;
        record.field = field.name;
        if (value.isIndirect()) record.value_id = value.getObjGen();
        if (value.getKey("/Type").isName()) record.type = value.getKey("/Type").getName();
        if (value.getKey("/SubFilter").isName()) record.subfilter = value.getKey("/SubFilter").getName();
        QPDFObjectHandle range = value.getKey("/ByteRange");
        if (range.isArray() && range.getArrayNItems() % 2 == 0) {
            for (QPDFObjectHandle item : range.getArrayAsVector()) {
                if (!item.isInteger()) {
                    record.byte_range.clear();
                    break;
                }
                record.byte_range.push_back(item.getIntValue());
            }
        }
        if (value.getKey("/Contents").isString()) record.contents = value.getKey("/Contents").getStringValue();
        budget.add(field.value_source, record.contents.size());
        result.push_back(std::move(record));
    }
    return result;
}

int certification_permission(QPDF& pdf) {
    QPDFObjectHandle perms = pdf.getRoot().getKey("/Perms");
    if (!perms.isDictionary()) return 0;
    QPDFObjectHandle signature = perms.getKey("/DocMDP");
    if (!signature.isDictionary()) return 0;
    QPDFObjectHandle references = signature.getKey("/Reference");
    if (references.isArray()) {
        for (QPDFObjectHandle reference : references.getArrayAsVector()) {
            if (!reference.isDictionary() || !reference.getKey("/TransformMethod").isNameAndEquals("/DocMDP"))
                continue;
            QPDFObjectHandle params = reference.getKey("/TransformParams");
            QPDFObjectHandle permission = params.isDictionary() ? params.getKey("/P") : QPDFObjectHandle::newNull();
            return permission.isInteger() ? static_cast<int>(permission.getIntValue()) : 2;
        }
    }
    // A certification without a readable transform: assume the default.
    return 2;
}

}  // namespace pdfengine
