// Coverage-guided fuzz target over the PDF engine's signing path: read a
// document, list its signatures and fields, lay out a signature, then read
// the result back and append validation data and a document timestamp, as
// the library does for every signing. Bad input may only end in the engine's
// own errors (what the binding turns into the library's exceptions); a crash,
// a sanitizer report or a logic error is a finding.
#include "document.hh"
#include "dss.hh"
#include "errors.hh"
#include "form_fields.hh"
#include "object_graph.hh"
#include "revisions.hh"
#include "signature_layout.hh"
#include "signature_values.hh"
#include "stream_decoding.hh"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kReserved = 2048;

using pdfengine::Piece;

// What a verification report reads of a signed document.
void inspect_like_a_report(pdfengine::Document& earlier, pdfengine::Document& later) {
    for (const pdfengine::Revision& revision : pdfengine::revisions(later)) (void)revision;
    pdfengine::signature_values(later.pdf());
    for (const pdfengine::GraphDifference& difference : pdfengine::graph_differences(earlier, later))
        if (difference.after && difference.after->find("\"stream\"") != std::string::npos)
            pdfengine::decoded_stream_data(later, difference.id);
}

void sign_like_the_library(std::string_view input) {
    pdfengine::Document document({Piece::of_memory(input)});
    pdfengine::signatures(document.pdf());
    pdfengine::form_fields(document.pdf());
    pdfengine::certification_permission(document.pdf());

    pdfengine::SignatureRequest request;
    request.field_name = "Signature1";
    request.subfilter = "/ETSI.CAdES.detached";
    request.reason = "Date Time: 2024-01-01, Signer Name: \xc3\xa9";
    request.signing_time = "D:20240101000000Z";
    request.bytes_reserved = kReserved;
    pdfengine::PreparedSignature prepared = pdfengine::prepare_signature(document, request);

    // As the library does: each update extends the one parse.
    document.extend(prepared.update);
    pdfengine::ValidationData data{{std::string("\x30\x03\x02\x01\x01", 5)}, {}, {std::string("\x30\x00", 2)}};
    std::string dss = pdfengine::append_dss(document, data, {});
    if (!dss.empty()) document.extend(dss);
    if (document.length() != static_cast<qpdf_offset_t>(input.size() + prepared.update.size() + dss.size()))
        throw std::logic_error("the extended document's length is not the sum of its revisions");

    pdfengine::Document original({Piece::of_memory(input)});
    pdfengine::Document with_dss({Piece::of_memory(input), Piece::of_memory(prepared.update), Piece::of_memory(dss)});
    inspect_like_a_report(original, with_dss);
    pdfengine::SignatureRequest stamp;
    stamp.field_name = "DocumentTimestamp1";
    stamp.document_timestamp = true;
    stamp.subfilter = "/ETSI.RFC3161";
    stamp.bytes_reserved = kReserved;
    pdfengine::prepare_signature(document, stamp);

    // The same input certified with a visible widget: the page's boxes, rotation and inheritance.
    pdfengine::Document fresh({Piece::of_memory(input)});
    request.docmdp_permissions = 2;
    request.appearance = pdfengine::VisibleAppearance{1, {10, 10, 200, 60}, {"J\xc3\xbcrgen", "(x)\\"}};
    pdfengine::prepare_signature(fresh, request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    try {
        sign_like_the_library(input);
    } catch (const pdfengine::Error&) {
        // The engine refused the input by name: the expected outcome for junk.
    } catch (const std::logic_error& error) {
        // The binding reports these as SystemError: an engine bug, not bad input.
        std::fprintf(stderr, "logic error: %s\n", error.what());
        std::abort();
    } catch (const std::exception&) {
        // qpdf's own read errors (QPDFExc, std::runtime_error): PdfReadError.
    }
    return 0;
}
