#include "PluginHost.h"

#include "OutputEmulator.h"

#include "platform/dynlib.h"
#include "platform/folders.h"

#include <array>
#include <cstring>

namespace player {
namespace {

struct Slot {
    TInModule* module = nullptr;
    TPluginInfo info;
    bool retired = false; // its Quit ran but the library would not unload: never played again
};

struct Host {
    std::array<Slot, kPluginSlots> slots;
    bool ready = false;
    int current = -1;
    int inUse = -1; // SetPluginInUse
};

Host& host()
{
    static Host h;
    return h;
}

bool validSlot(int slot)
{
    return slot >= 0 && slot < kPluginSlots && host().slots[std::size_t(slot)].module;
}

// Everything the host and its windows call must be there before anything is called.
bool complete(const TInModule& m)
{
    return m.Config && m.About && m.Init && m.Quit && m.GetFileInfo && m.Play && m.Pause && m.UnPause && m.Stop &&
           m.GetOutputTime && m.SetOutputTime && m.SetVolume;
}

std::string text(const char* s)
{
    return s ? s : "";
}

// Every extension text of a module's list, joined with ";". The list is pairs of
// NUL-terminated texts (extensions such as "AU;SND", then a description) ended by
// an empty text; empty pieces are dropped, so "AU;SND;" adds no empty pattern.
std::string extensionsOf(const char* list)
{
    // A list that lost its closing empty text must not walk through all memory.
    constexpr int kMostPairs = 64;
    std::string joined;
    for (int pair = 0; list && *list && pair < kMostPairs; ++pair) {
        bool newPiece = true;
        for (; *list; ++list) {
            if (*list == ';') {
                newPiece = true;
                continue;
            }
            if (newPiece && !joined.empty())
                joined += ';';
            newPiece = false;
            joined += *list;
        }
        ++list;     // past the extensions' NUL, onto the description
        if (!*list) // extensions without a description end the list too
            break;
        list += std::strlen(list) + 1;
    }
    return joined;
}

} // namespace

bool StartPluginHost()
{
    Host& h = host();
    h = Host{};
    if (!AllocateOutputRing())
        return false;
    OutputModule()->Init();
    h.ready = true;
    h.current = -1;
    return true;
}

void ShutdownPluginHost()
{
    Host& h = host();
    for (Slot& slot : h.slots) {
        if (!slot.module)
            continue;
        if (!slot.retired)
            slot.module->Quit();
        FreeLibrary(slot.info.Library);
        slot = Slot{};
    }
    if (h.ready)
        OutputModule()->Quit();
    FreeOutputRing();
    h = Host{};
}

bool PluginHostReady()
{
    return host().ready;
}

int LoadPlugin(const std::string& fileName)
{
    Host& h = host();
    if (!h.ready)
        return plNotReady;
    if (FindPlugin(fileName) >= 0)
        return plAlreadyLoaded;
    int free = -1;
    for (int i = kPluginSlots - 1; i >= 0; --i)
        if (!h.slots[std::size_t(i)].module)
            free = i;
    if (free < 0)
        return plNoSlot;
    // Plug-ins are plain file names inside Plugins/, never a way out of it.
    if (fileName.empty() || fileName.find('/') != std::string::npos)
        return plLoadFailed;

    HMODULE library = LoadLibrary((platform::ProgramFolder() + "Plugins/" + fileName).c_str());
    if (!library)
        return plLoadFailed;
    auto getModule = reinterpret_cast<GetInModuleFunc>(GetProcAddress(library, PLUGIN_EXPORT_NAME));
    TInModule* module = getModule ? getModule() : nullptr;
    if (!module || !complete(*module)) {
        FreeLibrary(library);
        return plNotAPlugin;
    }

    module->MainWindow = OutputMessageWindow();
    module->DLLInstance = library;
    module->OutModule = OutputModule();
    module->Init();
    // The host has no visualisation, DSP or information display: its entries do nothing.
    module->VisInit = [](int, int) {};
    module->VisDeInit = [] {};
    module->SpectrumAddPCM = [](void*, int, int, int) {};
    module->SpectrumGetMode = [] { return 0; };
    module->SpectrumAdd = [](void*, int) {};
    module->VisAddPCM = [](void*, int, int, int) {};
    module->VisGetMode = [] { return 0; };
    module->VisAdd = [](void*, int) {};
    module->VisSetInfo = [](int, int) {};
    module->DSPIsActive = [] { return 0; };
    module->DSPDoSamples = [](void*, int frameCount, int, int, int) { return frameCount; };
    module->SetInfo = [](int, int, int, int) {};

    Slot& slot = h.slots[std::size_t(free)];
    slot.module = module;
    slot.info.FileName = fileName;
    slot.info.Version = module->Version;
    slot.info.Description = text(module->Description);
    slot.info.FileExtensions = extensionsOf(module->FileExtensions);
    slot.info.IsSeekable = module->IsSeekable;
    slot.info.Library = library;
    return plLoaded;
}

int UnloadPlugin(const std::string& fileName)
{
    Host& h = host();
    const int index = FindPlugin(fileName);
    if (index < 0)
        return plNotLoaded;
    if (index == h.current || index == h.inUse)
        return plInUse;
    Slot& slot = h.slots[std::size_t(index)];
    if (!slot.retired)
        slot.module->Quit();
    if (!FreeLibrary(slot.info.Library)) {
        slot.retired = true;
        return plFreeFailed;
    }
    slot = Slot{};
    return plUnloaded;
}

int FindPlugin(const std::string& fileName)
{
    for (int i = 0; i < kPluginSlots; ++i)
        if (validSlot(i) && host().slots[std::size_t(i)].info.FileName == fileName)
            return i;
    return -1;
}

TInModule* GetPluginModule(int slot)
{
    return validSlot(slot) ? host().slots[std::size_t(slot)].module : nullptr;
}

TPluginInfo GetPluginInfo(int slot)
{
    return validSlot(slot) ? host().slots[std::size_t(slot)].info : TPluginInfo{};
}

bool PluginPlayable(int slot)
{
    return validSlot(slot) && !host().slots[std::size_t(slot)].retired;
}

int SelectPlugin(int slot)
{
    if (!validSlot(slot))
        return -1;
    host().current = slot;
    return 0;
}

void SetPluginInUse(int slot)
{
    host().inUse = slot;
}

int CurrentPlugin()
{
    return host().current;
}

void ClearCurrentPlugin()
{
    host().current = -1;
}

std::string ConvertExtensionList(const std::string& list)
{
    if (list.empty())
        return list;
    std::string out = "*.";
    for (std::size_t i = 0; i < list.size(); ++i) {
        out += list[i];
        if (list[i] == ';' && i + 1 < list.size())
            out += "*.";
    }
    return out;
}

std::string GetPluginFileExts()
{
    std::string out;
    for (int i = 0; i < kPluginSlots; ++i)
        if (validSlot(i))
            out += ConvertExtensionList(host().slots[std::size_t(i)].info.FileExtensions) + ";";
    return out;
}

} // namespace player
