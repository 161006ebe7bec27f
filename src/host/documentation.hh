// Doc strings of compiled functions that carry their call signature.
//
// The interpreter reads a doc string of the form "name($module, a, b=None)\n--\n\n<text>"
// as a text signature followed by the doc text: `inspect.signature` and `help()`
// then show the call, and with no text after the marker `__doc__` is None.  The
// strings are assembled at compile time from "name(a, b=None)", so each
// signature is written once, next to the function it describes.
#pragma once

#include <cstddef>

namespace py {

// A string literal usable as a template argument.
template <std::size_t N>
struct Literal {
    char text[N]{};
    constexpr Literal(const char (&source)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = source[i];
    }
    static constexpr std::size_t size = N - 1;
};

namespace detail {

// Plain index loops throughout: the sanitizer build cannot evaluate the
// standard string algorithms at compile time.
template <std::size_t N>
struct Text {
    char text[N]{};
    std::size_t end = 0;
    constexpr void append(const char* part, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) text[end++] = part[i];
    }
};

template <std::size_t N>
constexpr std::size_t name_length(const Literal<N>& signature) {
    std::size_t open = 0;
    while (open < signature.size && signature.text[open] != '(') ++open;
    if (open == 0 || open == signature.size || signature.text[signature.size - 1] != ')')
        throw "a signature is written name(parameters)";  // a compile-time error
    return open;
}

// "name(a, b)" -> "name(<receiver>, a, b)\n--\n\n<summary>"
template <Literal Signature, Literal Receiver, Literal Summary>
constexpr auto documented() {
    constexpr std::size_t open = name_length(Signature) + 1;
    constexpr bool no_parameters = Signature.size == open + 1;
    constexpr char separator[] = ", ";
    constexpr char marker[] = "\n--\n\n";
    Text<Signature.size + Receiver.size + (no_parameters ? 0 : 2) + 5 + Summary.size + 1> result;
    result.append(Signature.text, open);
    result.append(Receiver.text, Receiver.size);
    result.append(separator, no_parameters ? 0 : 2);
    result.append(Signature.text + open, Signature.size - open);
    result.append(marker, 5);
    result.append(Summary.text, Summary.size);
    return result;
}

template <Literal Signature>
constexpr auto name_of() {
    constexpr std::size_t length = name_length(Signature);
    Text<length + 1> result;
    result.append(Signature.text, length);
    return result;
}

template <Literal Signature>
inline constexpr auto name_storage = name_of<Signature>();
template <Literal Signature, Literal Receiver, Literal Summary>
inline constexpr auto doc_storage = documented<Signature, Receiver, Summary>();

}  // namespace detail

// The name in "name(parameters)".
template <Literal Signature>
inline constexpr const char* name_in = detail::name_storage<Signature>.text;

// Doc string of a module function: `Signature` without the module parameter.
template <Literal Signature, Literal Summary = "">
inline constexpr const char* function_doc = detail::doc_storage<Signature, "$module", Summary>.text;

// Doc string of a method: `Signature` without `self`.
template <Literal Signature, Literal Summary = "">
inline constexpr const char* method_doc = detail::doc_storage<Signature, "$self", Summary>.text;

}  // namespace py
