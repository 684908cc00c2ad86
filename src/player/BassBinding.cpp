#include "BassBinding.h"

#include "platform/dynlib.h"

namespace player {
namespace {

struct Binding {
    BassFunctions bass;
    HMODULE bassLibrary = nullptr;
    BassWmaFunctions wma;
    HMODULE wmaLibrary = nullptr;
};

Binding& binding()
{
    static Binding b;
    return b;
}

std::string withSlash(const std::string& folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// Resolves every entry of table, or clears it and frees the library.
template <typename Table, typename Bind> HMODULE loadTable(const std::string& path, Table& table, Bind bindAll)
{
    HMODULE library = LoadLibrary(path.c_str());
    if (!library)
        return nullptr;
    if (!bindAll(library, table)) {
        table = Table{};
        FreeLibrary(library);
        return nullptr;
    }
    return library;
}

#define PLAYER_BIND_ENTRY(name)                                                                                        \
    table.name = reinterpret_cast<decltype(table.name)>(GetProcAddress(library, #name));                               \
    complete = complete && table.name != nullptr;

bool bindBass(HMODULE library, BassFunctions& table)
{
    bool complete = true;
    PLAYER_BASS_FUNCTIONS(PLAYER_BIND_ENTRY)
    return complete;
}

bool bindBassWma(HMODULE library, BassWmaFunctions& table)
{
    bool complete = true;
    PLAYER_BASS_WMA_FUNCTIONS(PLAYER_BIND_ENTRY)
    return complete;
}

#undef PLAYER_BIND_ENTRY

} // namespace

const BassFunctions& Bass()
{
    return binding().bass;
}

const BassWmaFunctions& BassWma()
{
    return binding().wma;
}

bool LoadBass(const std::string& folder)
{
    Binding& b = binding();
    if (!b.bassLibrary)
        b.bassLibrary = loadTable(withSlash(folder) + "libbass.so", b.bass, bindBass);
    return b.bassLibrary != nullptr;
}

bool BassLoaded()
{
    return binding().bassLibrary != nullptr;
}

void UnloadBass()
{
    Binding& b = binding();
    if (!b.bassLibrary)
        return;
    b.bass.BASS_Free();
    FreeLibrary(b.bassLibrary);
    b.bassLibrary = nullptr;
    b.bass = BassFunctions{};
}

bool LoadBassWma(const std::string& folder)
{
    Binding& b = binding();
    if (!b.wmaLibrary && b.bassLibrary)
        b.wmaLibrary = loadTable(withSlash(folder) + "libbasswma.so", b.wma, bindBassWma);
    return b.wmaLibrary != nullptr;
}

bool BassWmaLoaded()
{
    return binding().wmaLibrary != nullptr;
}

void UnloadBassWma()
{
    Binding& b = binding();
    if (!b.wmaLibrary)
        return;
    FreeLibrary(b.wmaLibrary);
    b.wmaLibrary = nullptr;
    b.wma = BassWmaFunctions{};
}

} // namespace player
