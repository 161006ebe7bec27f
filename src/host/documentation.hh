// Doc strings of compiled functions that carry their call signature.
//
// The interpreter reads a doc string of the form "name($module, a, b=None)\n--\n\n<text>"
// as a text signature followed by the doc text: `inspect.signature` and `help()`
// then show the call, and with no text after the marker `__doc__` is None.  The
// strings are assembled at compile time from "name(a, b=None)", so each
// signature is written once, next to the function it describes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace py {

// A string literal usable as a template argument.
template <std::size_t N>
struct Literal {
    char text[N]{};
    constexpr Literal(const char (&source)[N]) { std::copy_n(source, N, text); }
    constexpr std::string_view view() const { return std::string_view(text, N - 1); }
};

namespace detail {

template <std::size_t N>
struct Text {
    char text[N]{};
};

constexpr std::size_t name_length(std::string_view signature) {
    std::size_t open = signature.find('(');
    if (open == std::string_view::npos || open == 0 || signature.back() != ')')
        throw "a signature is written name(parameters)";  // a compile-time error
    return open;
}

// "name(a, b)" -> "name(<receiver>, a, b)\n--\n\n<summary>"
template <Literal Signature, Literal Receiver, Literal Summary>
constexpr auto documented() {
    constexpr std::string_view signature = Signature.view();
    constexpr std::size_t open = name_length(signature) + 1;
    constexpr std::string_view head = signature.substr(0, open);
    constexpr std::string_view rest = signature.substr(open);
    constexpr std::string_view separator = rest == ")" ? "" : ", ";
    constexpr std::string_view marker = "\n--\n\n";
    constexpr std::size_t size = head.size() + Receiver.view().size() + separator.size() + rest.size() +
                                 marker.size() + Summary.view().size() + 1;
    Text<size> result;
    char* at = result.text;
    for (std::string_view part : {head, Receiver.view(), separator, rest, marker, Summary.view()})
        at = std::copy(part.begin(), part.end(), at);
    return result;
}

template <Literal Signature>
constexpr auto name_of() {
    constexpr std::size_t length = name_length(Signature.view());
    Text<length + 1> result;
    std::copy_n(Signature.text, length, result.text);
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
