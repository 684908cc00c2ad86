#include "Associations.h"


namespace shell {
namespace {

constexpr auto kRoot = platform::RegistryRoot::ClassesRoot;

std::string format(const char* pattern, const std::string& a, const std::string& b = {})
{
    std::string out;
    bool first = true;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += first ? a : b;
            first = false;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

RegistryError cannotCreate(const std::string& key)
{
    return RegistryError(format("Cannot create key %s, the user account may not have the required rights to create "
                                "registry keys under HKEY_CLASSES_ROOT.",
                                key));
}

} // namespace

Associations::Associations(platform::Registry& registry, std::string programPath, std::string service)
    : registry_(registry), programPath_(std::move(programPath)), service_(std::move(service))
{
}

void Associations::OpenKeyOrFail(const std::string& key)
{
    if (!registry_.createKey(kRoot, key))
        throw cannotCreate(key);
}

void Associations::writeDefault(const std::string& key, const std::string& value)
{
    OpenKeyOrFail(key);
    if (!registry_.writeString(kRoot, key, "", value))
        throw cannotCreate(key);
}

void Associations::RegisterVerbCommand(const std::string& extension, const std::string& fileType,
                                       const std::string& description, const std::string& command,
                                       const std::string& verb)
{
    writeDefault(extension, fileType);
    writeDefault(fileType, description);
    writeDefault(format("%s\\shell\\%s\\command", fileType, verb), command);
}

void Associations::RegisterVerb(const std::string& extension, const std::string& fileType,
                                const std::string& description, const std::string& parameter,
                                const std::string& verb)
{
    std::string command = programPath_ + " " + (parameter.empty() ? std::string(kQuotedArgument) : parameter);
    RegisterVerbCommand(extension, fileType, description, command, verb);
}

void Associations::RegisterDdeExec(const std::string& fileType, const std::string& verb, const std::string& macro)
{
    std::string ddeexec = format("%s\\shell\\%s\\ddeexec", fileType, verb);
    writeDefault(ddeexec, macro);
    writeDefault(ddeexec + "\\Application", service_);
    writeDefault(ddeexec + "\\topic", kMacroTopic);
}

void Associations::RegisterDefaultIcon(const std::string& fileType, const std::string& file, int index)
{
    writeDefault(format("%s\\DefaultIcon", fileType), file + "," + std::to_string(index));
}

void Associations::RemoveAssociation(const std::string& extension)
{
    if (extension.empty())
        throw RegistryError("FileType has not been set");
    if (!registry_.keyExists(kRoot, extension))
        return;
    std::string oldType = registry_.readString(kRoot, extension, "").value_or("");
    registry_.deleteKey(kRoot, extension);
    if (oldType == kFileType && registry_.keyExists(kRoot, oldType))
        registry_.deleteKey(kRoot, oldType);
}

void Associations::AssociateExtension(const std::string& extension)
{
    RemoveAssociation(extension);
    RegisterVerb(extension, kFileType, kFileTypeDescription, kQuotedArgument, kVerbPlay);
    RegisterDdeExec(kFileType, kVerbPlay, kOpenMacro);
    RegisterVerb(extension, kFileType, kFileTypeDescription, kQuotedArgument, kVerbEnqueue);
    RegisterDdeExec(kFileType, kVerbEnqueue, kEnqueueMacro);
    RegisterVerb(extension, kFileType, kFileTypeDescription, kQuotedArgument, kVerbOpen);
    RegisterDdeExec(kFileType, kVerbOpen, kOpenMacro);
    RegisterDefaultIcon(kFileType, programPath_, 0);
}

void Associations::AssociateFileTypes(const std::vector<std::string>& types)
{
    if (types.empty())
        return;
    platform::Registry::Batch batch(registry_);
    for (const std::string& type : types)
        AssociateExtension("." + type);
    if (!batch.commit())
        throw cannotCreate("." + types.front());
}

std::vector<std::string> Associations::AssociatedFileTypes() const
{
    const platform::Registry::Batch oneRead(registry_);
    std::vector<std::string> types;
    for (const char* item : kFileTypeList)
        if (registry_.readString(kRoot, std::string(".") + item, "") == std::string(kFileType))
            types.emplace_back(item);
    return types;
}

std::string ServiceName(const std::string& executablePath)
{
    std::string name = executablePath.substr(executablePath.rfind('/') + 1);
    return name.substr(0, name.find('.'));
}

} // namespace shell
