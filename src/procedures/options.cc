#include "options.hh"

namespace corvane::procedures {

SigningOptions SigningOptions::for_module() {
    SigningOptions options;
    options.field = py::str("Signature1");
    options.reason = options.location = options.contact = options.appearance = options.certify = py::none();
    return options;
}

SigningOptions SigningOptions::from_mapping(const py::Object& mapping) {
    SigningOptions options;
    options.mapping = mapping;
    options.field = mapping["field"];
    options.reason = mapping["reason"];
    options.location = mapping["location"];
    options.contact = mapping["contact"];
    options.appearance = mapping["appearance"];
    options.certify = mapping["certify"];
    std::string level = mapping["level"].text();
    static constexpr struct {
        const char* name;
        Level level;
    } levels[] = {{"B-B", Level::b_b}, {"B-T", Level::b_t}, {"B-LT", Level::b_lt}, {"B-LTA", Level::b_lta}};
    bool known = false;
    for (const auto& entry : levels) {
        if (level == entry.name) {
            options.level = entry.level;
            known = true;
        }
    }
    if (!known) py::raise_format(PyExc_ValueError, "level must be B-B, B-T, B-LT or B-LTA, not %s", level.c_str());
    options.report = true;
    return options;
}

}  // namespace corvane::procedures
