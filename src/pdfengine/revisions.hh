// The revisions of a document: the original file and each incremental update
// after it, as the byte offsets where they end. A revision ends after the
// %%EOF (and its line end) that follows the startxref naming its
// cross-reference section; qpdf must read the bytes up to there as a document.
#pragma once

#include "document.hh"

#include <vector>

namespace pdfengine {

struct Revision {
    qpdf_offset_t xref_offset = 0;  // its cross-reference section
    qpdf_offset_t end = 0;          // offset just after it
};

// In file order. The last one ends at the document's final %%EOF, or at the
// document's end when the final section has none.
std::vector<Revision> revisions(const Document& document);

// The pieces of `document` up to `end`, for reading the document as it was.
std::vector<std::string_view> leading_pieces(const Document& document, qpdf_offset_t end);

}  // namespace pdfengine
