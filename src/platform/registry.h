// A per-user registry of keys and string values, kept in one text file
// ($XDG_CONFIG_HOME/orvella/registry, or the file named by ORVELLA_REGISTRY).
//
// Key paths use "\" between names and match without regard to case, as the
// program's associations expect; creating a key creates its parents. Every
// change is read-modify-write under a file lock, written to a temporary file
// and renamed, so a second process never sees half a file and never loses a
// change. A store file without write permission is read-only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum class RegistryRoot { ClassesRoot, CurrentUser };

std::string DefaultRegistryPath();

class Registry {
public:
    explicit Registry(std::string storePath = DefaultRegistryPath());
    ~Registry();
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;

    // A run of changes read and written once: while a batch lives the store
    // stays locked and in memory, and every call of this registry works on
    // that copy. Associating every file type makes hundreds of changes, and
    // one rewrite of the file per change kept the first start waiting.
    class Batch {
    public:
        // A batch within a batch joins it.
        explicit Batch(Registry& registry);
        // Writes what changed, unless commit() already has.
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // Writes what changed and ends the batch; false when the file could
        // not be written (what changed is then lost, as a refused change is).
        bool commit();

    private:
        Registry* registry_ = nullptr; // null once committed, or when joined
    };

    const std::string& storePath() const { return path_; }

    bool createKey(RegistryRoot root, const std::string& key);
    bool keyExists(RegistryRoot root, const std::string& key) const;
    // name "" is the key's default value.
    std::optional<std::string> readString(RegistryRoot root, const std::string& key, const std::string& name) const;
    bool writeString(RegistryRoot root, const std::string& key, const std::string& name, const std::string& value);
    bool deleteValue(RegistryRoot root, const std::string& key, const std::string& name);
    // Deletes the key with everything below it; false when it does not exist.
    bool deleteKey(RegistryRoot root, const std::string& key);
    std::vector<std::string> subKeys(RegistryRoot root, const std::string& key) const;
    std::vector<std::pair<std::string, std::string>> values(RegistryRoot root, const std::string& key) const;

private:
    struct HeldStore;

    std::string path_;
    std::unique_ptr<HeldStore> held_; // while a batch lives
};

} // namespace platform
