// The system libraries the engine opens when first needed rather than links
// (ALSA, FFTW). Each names the functions it uses in a list macro; a table of
// pointers is declared with ORVELLA_FUNCTION_POINTER and filled by
// BindFunction, and is used only when every name was found.
#pragma once

#include <dlfcn.h>

#define ORVELLA_FUNCTION_POINTER(name) decltype(&::name) name;

namespace bass {

// Points `function` at `name` in `library`; false when the library has no such name.
template <typename Function> bool BindFunction(void* library, Function*& function, const char* name)
{
    function = reinterpret_cast<Function*>(dlsym(library, name));
    return function != nullptr;
}

} // namespace bass
