// Lays out a signature (or document timestamp) in an incremental update: the
// field and its invisible widget, the signature dictionary with a zero-filled
// /Contents of the reserved size, and the /ByteRange that covers everything
// else of the resulting file.
#pragma once

#include "appearance.hh"
#include "document.hh"

#include <array>
#include <optional>
#include <string>

namespace pdfengine {

// The largest /Contents room a request may reserve: enough for any CMS
// container with its certificates and timestamps.
constexpr std::size_t kMaxBytesReserved = std::size_t{8} << 20;

struct SignatureRequest {
    std::string field_name;              // fully qualified; a new field is a top-level one
    bool document_timestamp = false;     // /Type /DocTimeStamp instead of /Sig
    std::string subfilter;               // a PDF name, e.g. "/ETSI.CAdES.detached"
    std::optional<std::string> reason;   // UTF-8 text
    std::optional<std::string> signing_time;  // PDF date text for /M
    std::size_t bytes_reserved = 0;      // size of /Contents in bytes
    std::optional<std::string> location;      // UTF-8 text
    std::optional<std::string> contact_info;  // UTF-8 text
    int docmdp_permissions = 0;          // 1-3 for a certification signature, 0 otherwise
    std::optional<VisibleAppearance> appearance;  // none: an invisible widget
};

struct PreparedSignature {
    std::string update;                  // to append after the document
    // [0, offset of '<' of /Contents, offset after its '>', rest of the file]
    std::array<long long, 4> byte_range{};
};

// Raises the refusals of prepare_signature (Failure::layout, or
// Failure::encrypted for an encryption an update cannot be written for)
// without laying anything out.
void check_signature_request(Document& document, const SignatureRequest& request);

PreparedSignature prepare_signature(Document& document, const SignatureRequest& request);

}  // namespace pdfengine
