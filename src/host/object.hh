// Owned references to Python objects, and the few operations that module code
// needs on them.  No module code touches reference counts directly.
#pragma once

#include "error.hh"
#include "python.hh"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace py {

struct Keyword;

class Object {
public:
    Object() noexcept = default;
    Object(const Object& other) noexcept : ptr_(other.ptr_) { Py_XINCREF(ptr_); }
    Object(Object&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    Object& operator=(Object other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~Object() { Py_XDECREF(ptr_); }

    // Owns a new reference; null means the call that produced it failed.
    static Object steal(PyObject* ptr) {
        if (ptr == nullptr) throw_error();
        return Object(ptr);
    }
    // Shares a borrowed reference; null means the call that produced it failed.
    static Object borrow(PyObject* ptr) {
        if (ptr == nullptr) throw_error();
        Py_INCREF(ptr);
        return Object(ptr);
    }

    PyObject* get() const noexcept { return ptr_; }
    // Gives up ownership, for returning a new reference to the interpreter.
    PyObject* release() noexcept { return std::exchange(ptr_, nullptr); }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    Object attr(const char* name) const;
    bool has_attr(const char* name) const;
    void set_attr(const char* name, const Object& value) const;
    Object operator[](const Object& key) const;
    Object operator[](const char* key) const;
    // Python truth value, raising what __bool__/__len__ raise.
    bool truthy() const;
    bool is(const Object& other) const noexcept { return ptr_ == other.ptr_; }
    bool is_none() const noexcept { return ptr_ == Py_None; }
    bool is_instance(PyObject* type) const;
    // str(self) as UTF-8.
    std::string text() const;

    // Calls the object; arguments are Objects (positional) and Keywords, in order.
    template <class... Args>
    Object operator()(Args&&... args) const;

private:
    explicit Object(PyObject* ptr) noexcept : ptr_(ptr) {}
    PyObject* ptr_ = nullptr;
};

struct Keyword {
    const char* name;
    Object value;
};

inline Keyword kw(const char* name, Object value) { return Keyword{name, std::move(value)}; }

Object none();
Object boolean(bool value);
Object integer(long long value);
Object str(std::string_view text);
Object bytes(std::string_view data);
Object zero_bytes(std::size_t size);
Object tuple(std::initializer_list<Object> items);
Object list(std::initializer_list<Object> items);
Object dict();
void set_item(const Object& mapping, const char* key, const Object& value);
// a + b, as the `+` operator (string concatenation for texts).
Object add(const Object& a, const Object& b);
// a == b, as the `==` operator followed by a truth test.
bool equal(const Object& a, const Object& b);

// import NAME (absolute).
Object import(const char* name);
// `from <dots><name> import a, b` executed in `module`: `level` is the number
// of leading dots (0 for an absolute import).  Returns the imported objects in
// order; failures raise what the statement raises (ImportError and kin).
std::vector<Object> import_from(const Object& module, const char* name, int level,
                                std::initializer_list<const char*> names);

// A global of `module` looked up now, by name: the module's own namespace
// first, then the built-ins, as Python code would find it.
Object global(const Object& module, const char* name);

// The collaborators of a procedure, each looked up by name when it is asked
// for: a module's globals (so rebinding one on the module changes later
// calls) or the items of a mapping that a caller hands over.
class Names {
public:
    static Names of_module(Object module) noexcept { return Names(std::move(module), true); }
    static Names of_mapping(Object mapping) noexcept { return Names(std::move(mapping), false); }

    Object operator[](const char* name) const;

    // print(*values) through the `print` the table names.
    template <class... Values>
    void print(Values&&... values) const {
        (*this)["print"](std::forward<Values>(values)...);
    }

private:
    Names(Object source, bool is_module) noexcept : source_(std::move(source)), is_module_(is_module) {}
    Object source_;
    bool is_module_;
};

// Unpacks an iterable into exactly `count` items, raising what Python's
// unpacking raises (TypeError, ValueError) otherwise.
std::vector<Object> unpack(const Object& iterable, std::size_t count);

namespace detail {
class CallArguments {
public:
    void add(Object value) { positional_.push_back(std::move(value)); }
    void add(Keyword keyword) { keywords_.push_back(std::move(keyword)); }
    Object call(const Object& callable) const;

private:
    std::vector<Object> positional_;
    std::vector<Keyword> keywords_;
};
}  // namespace detail

template <class... Args>
Object Object::operator()(Args&&... args) const {
    detail::CallArguments arguments;
    (arguments.add(std::forward<Args>(args)), ...);
    return arguments.call(*this);
}

// print(*values) through the `print` that the module sees.
template <class... Values>
void print(const Object& module, Values&&... values) {
    global(module, "print")(std::forward<Values>(values)...);
}

}  // namespace py
