#include "stream_decoding.hh"

#include "errors.hh"
#include "limits.hh"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFCryptoProvider.hh>

#include <memory>
#include <stdexcept>

namespace pdfengine {
namespace {

// Receives decoded data: hashes it or keeps it, until the budget runs out.
class BoundedSink : public Pipeline {
public:
    BoundedSink(DecodeBudget& budget, bool keep) : Pipeline("bounded decoding", nullptr), budget_(budget), keep_(keep) {
        if (!keep_) {
            hash_ = QPDFCryptoProvider::getImpl();
            hash_->SHA2_init(256);
        }
    }

    void write(unsigned char const* data, size_t length) override {
        if (static_cast<unsigned long long>(length) > static_cast<unsigned long long>(budget_.remaining())) {
            // qpdf turns an exception inside decoding into a failed decoding:
            // the flag tells the two apart.
            exceeded_ = true;
            throw std::runtime_error("decoded data over its limit");
        }
        budget_.spend(static_cast<long long>(length));
        if (keep_) kept_.append(reinterpret_cast<const char*>(data), length);
        else hash_->SHA2_update(data, length);
    }
    void finish() override {}

    bool exceeded() const noexcept { return exceeded_; }
    std::string& kept() noexcept { return kept_; }
    std::string digest() {
        hash_->SHA2_finalize();
        return hash_->SHA2_digest();
    }

private:
    DecodeBudget& budget_;
    bool keep_;
    bool exceeded_ = false;
    std::shared_ptr<QPDFCryptoImpl> hash_;
    std::string kept_;
};

// Pipes the stream's decoded data into `sink`; false when it cannot be decoded.
bool decode_into(QPDFObjectHandle stream, BoundedSink& sink, DecodeBudget& budget) {
    bool attempted = false;
    bool complete = false;
    try {
        complete = stream.pipeStreamData(&sink, &attempted, 0, qpdf_dl_generalized, true, false);
    } catch (const std::exception&) {
        complete = false;
    }
    if (sink.exceeded()) budget.exceeded();
    return complete && attempted;
}

}  // namespace

void DecodeBudget::exceeded() const {
    fail(Failure::read, what_ + " decodes to more than " + std::to_string(limit_ >> 20) +
                            " MiB: the document is damaged or a decompression bomb");
}

std::string sha256(std::string_view data) {
    std::shared_ptr<QPDFCryptoImpl> hash = QPDFCryptoProvider::getImpl();
    hash->SHA2_init(256);
    hash->SHA2_update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    hash->SHA2_finalize();
    return hash->SHA2_digest();
}

std::optional<std::string> decoded_digest(QPDFObjectHandle stream, DecodeBudget& budget) {
    BoundedSink sink(budget, false);
    if (!decode_into(stream, sink, budget)) return std::nullopt;
    return sink.digest();
}

std::string decoded_stream_data(Document& document, QPDFObjGen id) {
    QPDFObjectHandle stream = document.pdf().getObject(id);
    std::string name = "object " + id.unparse(' ') + " of the PDF document";
    if (!stream.isStream()) fail(Failure::read, name + " is not a stream");
    DecodeBudget budget(decoded_limit(document.length()), "the data of " + name);
    BoundedSink sink(budget, true);
    if (!decode_into(stream, sink, budget)) fail(Failure::read, "the data of " + name + " cannot be decoded");
    return std::move(sink.kept());
}

}  // namespace pdfengine
