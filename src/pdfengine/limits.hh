// Limits the engine keeps so that hostile input costs work and memory in
// proportion to its size, never more.
//
// Bounds of each entry point, for an input of n bytes (memory beyond the
// input itself, which the caller holds or the engine reads from its file):
//
//   open, length           parse of the cross-reference sections and trailers
//                          only: O(n) time and memory. qpdf stops loops in the
//                          /Prev chain and nesting deeper than 500.
//   signatures, fields,    one walk of the form: every indirect object and
//   certification_permission  every indirect /Kids array is expanded once
//                          (cycles and shared subtrees stop there), at most
//                          kMaxFieldDepth levels: O(n) time. Field names
//                          total at most kMaxFieldDepth * n bytes; signature
//                          contents at most twice those of the distinct
//                          signature dictionaries (<= n) + kOutputSlack, else
//                          refused (SharedOutputBudget).
//   check_signature,       as signatures, plus the update: at most
//   prepare_signature      2 * bytes_reserved (kMaxBytesReserved) + O(n), and
//                          one read-back of input + update: O(n).
//   append_dss             as prepare_signature; every existing /DSS stream
//                          object is decoded at most once, into a digest
//                          (constant memory), kDecodeBudget bytes in total.
//   revisions              a scan of the file in 1 MiB windows plus one parse
//                          of each distinct earlier section named by a
//                          "startxref ... %%EOF" marker, at most kMaxRevisions
//                          of them (more are refused): O(n) time per parse.
//   graph_differences      one breadth-first walk of the objects reachable from
//                          each trailer (each object once); JSON of each
//                          object whose cross-reference entry differs, and a
//                          comparison of its raw stream data: O(n).
//   object_json,           one object: O(n).
//   trailer_json
//   stream_data            one stream decoded, at most
//                          decoded_limit(n) = kOutputSlack + 4 * n bytes.
//   signature_values       as signatures; the JSON returned is at most twice
//                          that of the distinct signature dictionaries (O(n))
//                          + kOutputSlack, else refused.
#pragma once

#include "qpdf.hh"

#include <cstddef>

namespace pdfengine {

// The largest indirect object number a PDF document can have.
constexpr long long kMaxObjectNumber = 8388607;
// A classic xref row holds a ten-digit offset.
constexpr long long kMaxClassicXrefOffset = 9999999999LL;
// Field trees deeper than this are malformed; the walk stops descending.
constexpr int kMaxFieldDepth = 32;
// Fixed allowance for what a small document may legitimately expand to.
constexpr long long kOutputSlack = 32LL << 20;
// Decoded bytes of existing /DSS streams, in total, compared by digest.
constexpr long long kDecodeBudget = 256LL << 20;
// Earlier revisions parsed to confirm the markers that end them (each parse
// reads the chain of sections before it, up to O(n)).
constexpr int kMaxRevisions = 256;

// The most a single decoded stream or result may take for an input of `length` bytes.
constexpr long long decoded_limit(qpdf_offset_t length) { return kOutputSlack + 4 * static_cast<long long>(length); }

}  // namespace pdfengine
