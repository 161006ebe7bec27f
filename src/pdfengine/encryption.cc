#include "encryption.hh"

#include "errors.hh"

#include <qpdf/QPDFCryptoProvider.hh>

#include <vector>

namespace pdfengine {
namespace {

constexpr std::size_t kBlock = QPDFCryptoImpl::rijndael_buf_size;

const char* method_name(QPDF::encryption_method_e method) {
    switch (method) {
    case QPDF::e_none: return "none";
    case QPDF::e_rc4: return "RC4";
    case QPDF::e_aes: return "AES-128";
    case QPDF::e_aesv3: return "AES-256";
    default: return "unknown";
    }
}

bool writable(QPDF::encryption_method_e method) {
    return method == QPDF::e_none || method == QPDF::e_rc4 || method == QPDF::e_aes || method == QPDF::e_aesv3;
}

std::string rc4(const std::string& key, std::string_view plain) {
    std::shared_ptr<QPDFCryptoImpl> crypto = QPDFCryptoProvider::getImpl();
    std::string out(plain.size(), '\0');
    crypto->RC4_init(reinterpret_cast<const unsigned char*>(key.data()), static_cast<int>(key.size()));
    crypto->RC4_process(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                        reinterpret_cast<unsigned char*>(out.data()));
    crypto->RC4_finalize();
    return out;
}

// AES in CBC mode with PKCS#5 padding, the random IV first (7.6.2).
std::string aes_cbc(const std::string& key, std::string_view plain) {
    std::shared_ptr<QPDFCryptoImpl> crypto = QPDFCryptoProvider::getImpl();
    unsigned char iv[kBlock];
    crypto->provideRandomData(iv, kBlock);
    std::string padded(plain);
    std::size_t padding = kBlock - plain.size() % kBlock;
    padded.append(padding, static_cast<char>(padding));
    std::string out(reinterpret_cast<const char*>(iv), kBlock);
    out.resize(kBlock + padded.size());
    crypto->rijndael_init(true, reinterpret_cast<const unsigned char*>(key.data()), key.size(), true, iv);
    for (std::size_t at = 0; at < padded.size(); at += kBlock)
        crypto->rijndael_process(reinterpret_cast<unsigned char*>(padded.data() + at),
                                 reinterpret_cast<unsigned char*>(out.data() + kBlock + at));
    crypto->rijndael_finalize();
    return out;
}

bool is_signature_dictionary(QPDFObjectHandle dict) {
    QPDFObjectHandle type = dict.getKey("/Type");
    return type.isNameAndEquals("/Sig") || type.isNameAndEquals("/DocTimeStamp") ||
           (dict.getKey("/ByteRange").isArray() && dict.getKey("/Contents").isString());
}

}  // namespace

std::optional<Encryption> Encryption::of(QPDF& pdf) {
    int r = 0, p = 0, v = 0;
    QPDF::encryption_method_e streams = QPDF::e_none, strings = QPDF::e_none, files = QPDF::e_none;
    if (!pdf.isEncrypted(r, p, v, streams, strings, files)) return std::nullopt;
    // Before crypt filters (/V 4) every string and stream is RC4; qpdf
    // reports no method for them.
    if (v < 4) streams = strings = QPDF::e_rc4;
    QPDFObjectHandle filter = pdf.getTrailer().getKey("/Encrypt").getKey("/Filter");
    if (!filter.isNameAndEquals("/Standard"))
        fail(Failure::encrypted, "the PDF document is encrypted with a security handler other than the "
                                 "standard password handler; such documents cannot be signed");
    if (!writable(streams) || !writable(strings))
        fail(Failure::encrypted, std::string("the PDF document is encrypted with a method the signer cannot "
                                             "write (streams: ") + method_name(streams) +
                                     ", strings: " + method_name(strings) + "); it cannot be signed");
    if (!pdf.allowModifyForm())
        fail(Failure::encrypted, "the PDF document's encryption permissions forbid filling in form fields, "
                                 "so it cannot be signed without its owner password");
    Encryption encryption;
    encryption.key_ = pdf.getEncryptionKey();
    if (encryption.key_.empty())
        fail(Failure::encrypted, "the PDF document is encrypted and its key could not be derived; it cannot be signed");
    encryption.v_ = v;
    encryption.r_ = r;
    encryption.strings_ = strings;
    encryption.streams_ = streams;
    return encryption;
}

std::string Encryption::encrypt(QPDF::encryption_method_e method, QPDFObjGen owner, std::string_view plain) const {
    if (method == QPDF::e_none) return std::string(plain);
    bool aes = method == QPDF::e_aes || method == QPDF::e_aesv3;
    std::string key = QPDF::compute_data_key(key_, owner.getObj(), owner.getGen(), aes, v_, r_);
    return aes ? aes_cbc(key, plain) : rc4(key, plain);
}

std::string Encryption::encrypt_string(QPDFObjGen owner, std::string_view plain) const {
    return encrypt(strings_, owner, plain);
}

std::string Encryption::encrypt_stream(QPDFObjGen owner, std::string_view plain) const {
    return encrypt(streams_, owner, plain);
}

std::string Encryption::string_token(QPDFObjGen owner, std::string_view plain) const {
    return "<" + QUtil::hex_encode(encrypt_string(owner, plain)) + ">";
}

std::string Encryption::unparse(QPDFObjectHandle object, QPDFObjGen owner) const {
    return unparse_value(object, owner, true);
}

std::string Encryption::unparse_value(QPDFObjectHandle object, QPDFObjGen owner, bool top) const {
    if (object.isIndirect() && !top) return object.unparse();
    if (object.isString()) return string_token(owner, object.getStringValue());
    if (object.isArray()) {
        std::string out = "[";
        for (QPDFObjectHandle item : object.getArrayAsVector()) out += " " + unparse_value(item, owner, false);
        return out + " ]";
    }
    if (object.isDictionary()) {
        bool signature = is_signature_dictionary(object);
        std::string out = "<<";
        for (const std::string& key : object.getKeys()) {
            QPDFObjectHandle value = object.getKey(key);
            out += " " + QPDFObjectHandle::newName(key).unparse() + " ";
            // ISO 32000: a signature's /Contents is never encrypted.
            bool plain = signature && key == "/Contents" && value.isString();
            out += plain ? "<" + QUtil::hex_encode(value.getStringValue()) + ">" : unparse_value(value, owner, false);
        }
        return out + " >>";
    }
    return object.unparseResolved();
}

}  // namespace pdfengine
