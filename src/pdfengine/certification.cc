#include "certification.hh"

#include "errors.hh"
#include "form_fields.hh"

namespace pdfengine {

void check_certification(QPDF& pdf, int permissions, std::size_t earlier_signatures) {
    if (permissions < 1 || permissions > 3)
        fail(Failure::layout, "the DocMDP permission must be 1, 2 or 3, not " + std::to_string(permissions));
    if (certification_permission(pdf) != 0) fail(Failure::layout, "the document is already certified");
    if (earlier_signatures != 0)
        fail(Failure::layout, "only the first signature of a document can certify it, and it already has " +
                                  std::to_string(earlier_signatures) + " signature(s)");
}

std::string docmdp_reference(int permissions) {
    QPDFObjectHandle params = QPDFObjectHandle::parse("<< /Type /TransformParams /V /1.2 >>");
    params.replaceKey("/P", QPDFObjectHandle::newInteger(permissions));
    QPDFObjectHandle reference = QPDFObjectHandle::parse("<< /Type /SigRef /TransformMethod /DocMDP >>");
    reference.replaceKey("/TransformParams", params);
    QPDFObjectHandle array = QPDFObjectHandle::newArray();
    array.appendItem(reference);
    return array.unparseResolved();
}

void register_certification(IncrementalUpdate& update, QPDFObjectHandle signature) {
    Held catalog = Held::indirect(update.pdf().getRoot());
    Held perms = catalog.key("/Perms");
    if (!perms.object.isDictionary()) {
        update.touch(catalog);
        catalog.object.replaceKey("/Perms", QPDFObjectHandle::newDictionary());
        perms = catalog.key("/Perms");
    }
    update.touch(perms);
    perms.object.replaceKey("/DocMDP", signature);
}

}  // namespace pdfengine
