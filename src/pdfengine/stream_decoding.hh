// Decoded stream data under a limit: qpdf decodes into a pipeline of ours
// that counts what arrives and stops at the limit, so a small stream that
// inflates without end costs neither the memory nor the time it asks for.
#pragma once

#include "document.hh"

#include <optional>
#include <string>
#include <string_view>

namespace pdfengine {

// Decoded bytes a series of decodings may produce in total.
class DecodeBudget {
public:
    DecodeBudget(long long bytes, std::string what) : remaining_(bytes), limit_(bytes), what_(std::move(what)) {}
    long long remaining() const noexcept { return remaining_; }
    void spend(long long bytes) noexcept { remaining_ -= bytes; }
    // Raises the read failure that names what ran over the budget.
    [[noreturn]] void exceeded() const;

private:
    long long remaining_;
    long long limit_;
    std::string what_;
};

// SHA-256 of `data`.
std::string sha256(std::string_view data);

// SHA-256 of the stream's decoded data, or none when its filters cannot be
// decoded; spends the decoded size from `budget` and fails past it.
std::optional<std::string> decoded_digest(QPDFObjectHandle stream, DecodeBudget& budget);

// The decoded data of stream `id` of `document`, at most
// decoded_limit(document.length()) bytes; a read failure when `id` is no
// stream, its data cannot be decoded or it decodes to more.
std::string decoded_stream_data(Document& document, QPDFObjGen id);

}  // namespace pdfengine
