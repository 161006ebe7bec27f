#include "signature_layout.hh"

#include "certification.hh"
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

[[noreturn]] void refuse(const std::string& message) { fail(Failure::layout, message); }

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// The first page, where an invisible widget goes.
Held first_page(QPDF& pdf) {
    std::optional<Held> page = page_at(pdf, 1);
    if (!page) refuse("the document has no page to put the signature widget on");
    return *page;
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
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {" /Reason ", &request.reason}, {" /Location ", &request.location}, {" /ContactInfo ", &request.contact_info}};
    for (const auto& [key, value] : texts)
        if (*value)
            text += key + update.string_token(signature, QPDFObjectHandle::newUnicodeString(**value).getStringValue());
    if (request.docmdp_permissions != 0) text += " /Reference " + docmdp_reference(request.docmdp_permissions);
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

// Whether the field has a widget of its own or widget kids.
bool has_widget(const FormField& field) {
    QPDFObjectHandle dict = field.dict;  // qpdf's accessors are not const
    return dict.getKey("/Subtype").isNameAndEquals("/Widget") || dict.getKey("/Kids").isArray();
}

// Gives the signature dictionary, written verbatim, the same entries in
// memory, so that the document can go on from the update without reading it.
void hold_as_written(QPDFObjectHandle signature, const SignatureRequest& request,
                     const std::array<long long, 4>& byte_range) {
    signature.replaceKey("/Type", QPDFObjectHandle::newName(request.document_timestamp ? "/DocTimeStamp" : "/Sig"));
    signature.replaceKey("/Filter", QPDFObjectHandle::newName("/Adobe.PPKLite"));
    signature.replaceKey("/SubFilter", QPDFObjectHandle::newName(request.subfilter));
    if (request.signing_time) signature.replaceKey("/M", QPDFObjectHandle::newString(*request.signing_time));
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {"/Reason", &request.reason}, {"/Location", &request.location}, {"/ContactInfo", &request.contact_info}};
    for (const auto& [key, value] : texts)
        if (*value) signature.replaceKey(key, QPDFObjectHandle::newUnicodeString(**value));
    if (request.docmdp_permissions != 0)
        signature.replaceKey("/Reference", QPDFObjectHandle::parse(docmdp_reference(request.docmdp_permissions)));
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
std::optional<FormField> examine(QPDF& original, const SignatureRequest& request, std::size_t earlier_signatures) {
    check_request(request);
    if (request.docmdp_permissions != 0) {
        if (request.document_timestamp) refuse("a document timestamp cannot certify a document");
        check_certification(original, request.docmdp_permissions, earlier_signatures);
    }
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
        if (request.appearance && (has_widget(*existing) || !existing->dict.isIndirect()))
            refuse("the signature field " + quoted(name) + " already has a widget or cannot take one; a visible "
                   "appearance is drawn only for a new field or a bare one");
    } else if (name.find('.') != std::string::npos) {
        refuse("the field name " + quoted(name) + " names a nested field, which does not exist");
    }
    return existing;
}

}  // namespace

void check_signature_request(Document& document, const SignatureRequest& request) {
    QPDF& original = document.pdf();
    std::size_t earlier = signatures(original).size();
    std::optional<FormField> existing = examine(original, request, earlier);
    bool needs_widget = !existing || (existing->dict.isIndirect() && !has_widget(*existing));
    if (needs_widget) {
        if (request.appearance) plan_appearance(original, *request.appearance);
        else first_page(original);
    }
    Encryption::of(original);
}

PreparedSignature prepare_signature(Document& document, const SignatureRequest& request) {
    QPDF& original = document.pdf();
    std::vector<SignatureRecord> earlier = signatures(original);
    std::optional<FormField> existing = examine(original, request, earlier.size());
    const std::string& name = request.field_name;

    IncrementalUpdate update(document);
    QPDFObjectHandle signature = update.add(QPDFObjectHandle::newDictionary());
    Held form = acro_form(update);
    // The page the new widget goes on, with what it shows there when visible.
    std::optional<AppearancePlan> plan;
    auto widget_page = [&] {
        if (request.appearance) plan = plan_appearance(update.pdf(), *request.appearance);
        return plan ? plan->page : first_page(update.pdf());
    };
    if (existing) {
        Held field{existing->dict, existing->holder};
        update.touch(field);
        field.object.replaceKey("/V", signature);
        if (!has_widget(*existing) && existing->dict.isIndirect()) {
            // A bare field gets the same widget a new one would.
            Held page = widget_page();
            QPDFObjectHandle entries = widget_entries(page.object);
            if (plan) dress_widget(update, entries, *plan);
            for (const std::string& key : entries.getKeys()) field.object.replaceKey(key, entries.getKey(key));
            append_to(update, page, "/Annots", field.object);
        }
    } else {
        Held page = widget_page();
        QPDFObjectHandle entries = widget_entries(page.object);
        if (plan) dress_widget(update, entries, *plan);
        entries.replaceKey("/FT", QPDFObjectHandle::newName("/Sig"));
        entries.replaceKey("/T", QPDFObjectHandle::newUnicodeString(name));
        entries.replaceKey("/V", signature);
        QPDFObjectHandle widget = update.add(entries);
        append_to(update, page, "/Annots", widget);
        append_to(update, form, "/Fields", widget);
    }
    set_signature_flags(update, form);
    if (request.docmdp_permissions != 0) register_certification(update, signature);

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
