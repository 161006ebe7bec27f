#include "signature_layout.hh"

#include "encryption.hh"
#include "errors.hh"
#include "form_fields.hh"
#include "incremental_update.hh"
#include "revision_check.hh"

#include <cstdio>
#include <set>

namespace pdfengine {
namespace {

// Print flag: an invisible widget still "prints", as validators expect of signatures.
constexpr int kPrintFlag = 4;
// /SigFlags: SignaturesExist | AppendOnly.
constexpr long long kSignatureFlags = 3;
// "0 " and three ten-digit numbers with their separators: room for any
// offset below 10 GB, patched in place once the file's length is known.
constexpr std::size_t kByteRangeWidth = 34;
constexpr int kMaxPageTreeNodes = 100000;

[[noreturn]] void refuse(const std::string& message) { fail(Failure::layout, message); }

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// The first page, found by walking the page tree depth-first.
Held first_page(QPDF& pdf) {
    std::set<QPDFObjGen> seen;
    int visited = 0;
    std::vector<Held> pending{Held::indirect(pdf.getRoot()).key("/Pages")};
    while (!pending.empty() && ++visited < kMaxPageTreeNodes) {
        Held node = pending.back();
        pending.pop_back();
        if (!node.object.isDictionary()) continue;
        if (node.object.isIndirect() && !seen.insert(node.object.getObjGen()).second) continue;
        Held kids = node.key("/Kids");
        if (node.object.getKey("/Type").isNameAndEquals("/Page") || !kids.object.isArray()) return node;
        for (int i = kids.object.getArrayNItems() - 1; i >= 0; --i) pending.push_back(kids.item(i));
    }
    refuse("the document has no page to put the signature widget on");
}

// The form dictionary, created when the document has none.
Held acro_form(IncrementalUpdate& update) {
    Held catalog = Held::indirect(update.pdf().getRoot());
    Held form = catalog.key("/AcroForm");
    if (!form.object.isDictionary()) {
        QPDFObjectHandle created = update.add(QPDFObjectHandle::parse("<< /Fields [] >>"));
        update.touch(catalog);
        catalog.object.replaceKey("/AcroForm", created);
        form = Held::indirect(created);
    }
    return form;
}

// Appends `item` to the array under `key`, creating the array when missing.
void append_to(IncrementalUpdate& update, const Held& dict, const std::string& key, QPDFObjectHandle item) {
    Held array = dict.key(key);
    if (!array.object.isArray()) {
        update.touch(dict);
        dict.object.replaceKey(key, QPDFObjectHandle::newArray());
        array = dict.key(key);
    }
    update.touch(array);
    array.object.appendItem(item);
}

void set_signature_flags(IncrementalUpdate& update, const Held& form) {
    QPDFObjectHandle flags = form.object.getKey("/SigFlags");
    long long value = flags.isInteger() ? flags.getIntValue() : 0;
    if ((value & kSignatureFlags) == kSignatureFlags) return;
    update.touch(form);
    form.object.replaceKey("/SigFlags", QPDFObjectHandle::newInteger(value | kSignatureFlags));
}

QPDFObjectHandle widget_entries(QPDFObjectHandle page) {
    QPDFObjectHandle widget = QPDFObjectHandle::newDictionary();
    widget.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
    widget.replaceKey("/Subtype", QPDFObjectHandle::newName("/Widget"));
    widget.replaceKey("/Rect", QPDFObjectHandle::parse("[0 0 0 0]"));
    widget.replaceKey("/F", QPDFObjectHandle::newInteger(kPrintFlag));
    widget.replaceKey("/P", page);
    return widget;
}

struct SignatureBody {
    std::string text;
    std::size_t byte_range_at = 0;  // offset in `text` of the byte range's first digit
    std::size_t contents_at = 0;    // offset in `text` of the '<' of /Contents
};

SignatureBody signature_body(const SignatureRequest& request, const IncrementalUpdate& update,
                             QPDFObjectHandle signature) {
    SignatureBody body;
    std::string& text = body.text;
    text = request.document_timestamp ? "<< /Type /DocTimeStamp" : "<< /Type /Sig";
    text += " /Filter /Adobe.PPKLite /SubFilter " + QPDFObjectHandle::newName(request.subfilter).unparse();
    if (request.signing_time) text += " /M " + update.string_token(signature, *request.signing_time);
    if (request.reason)
        text += " /Reason " +
                update.string_token(signature, QPDFObjectHandle::newUnicodeString(*request.reason).getStringValue());
    text += " /ByteRange [";
    body.byte_range_at = text.size();
    text += "0 0000000000 0000000000 0000000000";
    text += "] /Contents ";
    body.contents_at = text.size();
    text += "<";
    text.append(2 * request.bytes_reserved, '0');
    text += "> >>";
    return body;
}

// Gives the signature dictionary, written verbatim, the same entries in
// memory, so that the document can go on from the update without reading it.
void hold_as_written(QPDFObjectHandle signature, const SignatureRequest& request,
                     const std::array<long long, 4>& byte_range) {
    signature.replaceKey("/Type", QPDFObjectHandle::newName(request.document_timestamp ? "/DocTimeStamp" : "/Sig"));
    signature.replaceKey("/Filter", QPDFObjectHandle::newName("/Adobe.PPKLite"));
    signature.replaceKey("/SubFilter", QPDFObjectHandle::newName(request.subfilter));
    if (request.signing_time) signature.replaceKey("/M", QPDFObjectHandle::newString(*request.signing_time));
    if (request.reason) signature.replaceKey("/Reason", QPDFObjectHandle::newUnicodeString(*request.reason));
    QPDFObjectHandle range = QPDFObjectHandle::newArray();
    for (long long value : byte_range) range.appendItem(QPDFObjectHandle::newInteger(value));
    signature.replaceKey("/ByteRange", range);
    signature.replaceKey("/Contents", QPDFObjectHandle::newString(std::string(request.bytes_reserved, '\0')));
}

void check_request(const SignatureRequest& request) {
    if (request.field_name.empty()) refuse("the signature field name is empty");
    if (request.subfilter.size() < 2 || request.subfilter[0] != '/')
        refuse("the signature subfilter " + quoted(request.subfilter) + " is not a PDF name");
    if (request.bytes_reserved == 0) refuse("no room is reserved for the signature contents");
    if (request.bytes_reserved > kMaxBytesReserved)
        refuse("the room reserved for the signature contents (bytes_reserved) may be at most " +
               std::to_string(kMaxBytesReserved) + " bytes");
}

// The field of the requested name, when the document has one it can take.
std::optional<FormField> examine(QPDF& original, const SignatureRequest& request) {
    check_request(request);
    if (!request.document_timestamp && certification_permission(original) == 1)
        refuse("the document is certified with DocMDP permission 1 (no changes allowed): "
               "a new signature would break its certification");

    const std::string& name = request.field_name;
    std::optional<FormField> existing;
    for (const FormField& field : form_fields(original))
        if (field.name == name) existing = field;
    if (existing) {
        if (existing->type != "/Sig")
            refuse("the field " + quoted(name) + " exists and is not a signature field");
        if (!existing->terminal) refuse("the signature field " + quoted(name) + " has child fields");
        if (!existing->value.isNull()) refuse("the signature field " + quoted(name) + " is already signed");
    } else if (name.find('.') != std::string::npos) {
        refuse("the field name " + quoted(name) + " names a nested field, which does not exist");
    }
    return existing;
}

}  // namespace

void check_signature_request(Document& document, const SignatureRequest& request) {
    QPDF& original = document.pdf();
    signatures(original);
    std::optional<FormField> existing = examine(original, request);
    bool needs_widget = !existing || (existing->dict.isIndirect() &&
                                      !existing->dict.getKey("/Subtype").isNameAndEquals("/Widget") &&
                                      !existing->dict.getKey("/Kids").isArray());
    if (needs_widget) first_page(original);
    Encryption::of(original);
}

PreparedSignature prepare_signature(Document& document, const SignatureRequest& request) {
    QPDF& original = document.pdf();
    std::vector<SignatureRecord> earlier = signatures(original);
    std::optional<FormField> existing = examine(original, request);
    const std::string& name = request.field_name;

    IncrementalUpdate update(document);
    QPDFObjectHandle signature = update.add(QPDFObjectHandle::newDictionary());
    Held form = acro_form(update);
    if (existing) {
        Held field{existing->dict, existing->holder};
        update.touch(field);
        field.object.replaceKey("/V", signature);
        bool has_widget = existing->dict.getKey("/Subtype").isNameAndEquals("/Widget") ||
                          existing->dict.getKey("/Kids").isArray();
        if (!has_widget && existing->dict.isIndirect()) {
            // A bare field gets the same invisible widget a new one would.
            Held page = first_page(update.pdf());
            QPDFObjectHandle entries = widget_entries(page.object);
            for (const std::string& key : entries.getKeys()) field.object.replaceKey(key, entries.getKey(key));
            append_to(update, page, "/Annots", field.object);
        }
    } else {
        Held page = first_page(update.pdf());
        QPDFObjectHandle entries = widget_entries(page.object);
        entries.replaceKey("/FT", QPDFObjectHandle::newName("/Sig"));
        entries.replaceKey("/T", QPDFObjectHandle::newUnicodeString(name));
        entries.replaceKey("/V", signature);
        QPDFObjectHandle widget = update.add(entries);
        append_to(update, page, "/Annots", widget);
        append_to(update, form, "/Fields", widget);
    }
    set_signature_flags(update, form);

    SignatureBody body = signature_body(request, update, signature);
    update.set_body(signature, body.text);
    WrittenUpdate written = update.write();

    // Where the body landed: the object header precedes it.
    qpdf_offset_t base = document.length();
    QPDFObjGen id = signature.getObjGen();
    std::size_t header = std::to_string(id.getObj()).size() + std::to_string(id.getGen()).size() + 6;
    std::size_t body_at = static_cast<std::size_t>(written.offsets.at(id) - base) + header;
    long long contents_start = static_cast<long long>(base) + static_cast<long long>(body_at + body.contents_at);
    long long contents_end = contents_start + 2 * static_cast<long long>(request.bytes_reserved) + 2;
    long long total = static_cast<long long>(base) + static_cast<long long>(written.bytes.size());

    PreparedSignature prepared;
    prepared.byte_range = {0, contents_start, contents_end, total - contents_end};
    char numbers[kByteRangeWidth + 1];
    int length = std::snprintf(numbers, sizeof numbers, "0 %lld %lld %lld", prepared.byte_range[1],
                               prepared.byte_range[2], prepared.byte_range[3]);
    if (length < 0 || static_cast<std::size_t>(length) > kByteRangeWidth)
        fail(Failure::write, "the document is too large for a signature byte range");
    std::string patch(numbers, static_cast<std::size_t>(length));
    patch.append(kByteRangeWidth - patch.size(), ' ');
    written.bytes.replace(body_at + body.byte_range_at, kByteRangeWidth, patch);
    if (written.bytes.compare(body_at + body.contents_at, 1, "<") != 0)
        fail(Failure::write, "the signature contents were not written where they were laid out");

    hold_as_written(signature, request, prepared.byte_range);
    check_update(document, update.pdf(), written, earlier,
                 ExpectedSignature{name, {prepared.byte_range.begin(), prepared.byte_range.end()}});
    document.set_pending(written.pending());
    prepared.update = std::move(written.bytes);
    return prepared;
}

}  // namespace pdfengine
