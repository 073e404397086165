// Owned library handles and typed exports.
#ifndef DLL_H
#define DLL_H

#include <string>

#include "tstrings.h"

// Owns one module reference; a copy takes a reference of its own.
class Dll {
public:
    struct System {
        explicit System(const tstring& name) : name(name) {}
        tstring name;
    };

    explicit Dll(const tstrings::TextBuilder& path);
    explicit Dll(const System& system);
    Dll(const Dll& other);
    Dll& operator=(const Dll&) = delete;
    ~Dll();

    void* getFunction(const std::string& name, bool throwIfNotFound) const;
    const tstring& getPath() const { return path; }
    // The platform's module handle.
    void* getHandle() const { return handle; }

private:
    tstring path;
    void* handle;
};

// An export of a library, kept valid by its own copy of the library.
template <class T>
class DllFunction {
public:
    DllFunction(const Dll& dll, const tstrings::TextBuilder& name)
        : library(dll), name(name.utf8()),
          function(reinterpret_cast<T>(library.getFunction(this->name, true))) {}

    operator T() const { return function; }

private:
    Dll library;
    std::string name;
    T function;
};

#endif // DLL_H
