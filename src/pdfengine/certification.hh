// Certification (DocMDP): the first signature of a document may state which
// later changes keep it valid, in a /Reference of its signature dictionary
// that the catalog's /Perms /DocMDP points to.
#pragma once

#include "incremental_update.hh"

#include <string>

namespace pdfengine {

// Refuses (Failure::layout) a permission other than 1, 2 or 3, and a
// document that already carries a signature or a certification.
void check_certification(QPDF& pdf, int permissions, std::size_t earlier_signatures);

// The /Reference array of the certification signature, as PDF text.
std::string docmdp_reference(int permissions);

// Points the catalog's /Perms /DocMDP at `signature`.
void register_certification(IncrementalUpdate& update, QPDFObjectHandle signature);

}  // namespace pdfengine
