#include "registry.h"

#include "ProfileDocument.h" // FoldCase
#include "atomicfile.h"
#include "folders.h"
#include "text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The store in memory. Keys are kept by folded path so lookups ignore case,
// with the spelling of their first creation.
struct Key {
    std::string path;
    std::vector<std::pair<std::string, std::string>> values;
    bool operator==(const Key&) const = default;
};
using Store = std::map<std::string, Key>;

const char* rootName(RegistryRoot root)
{
    return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

// "root\key" with empty names and surrounding separators removed; empty when the
// path cannot be stored.
std::string fullPath(RegistryRoot root, const std::string& key)
{
    std::string path = rootName(root);
    std::string name;
    auto flush = [&] {
        if (!name.empty())
            path += "\\" + name;
        name.clear();
    };
    for (char c : key) {
        if (c == '\n' || c == '\r')
            return {};
        if (c == '\\')
            flush();
        else
            name += c;
    }
    flush();
    return path;
}

// A quoted text; unescape reads it back.
std::string escape(const std::string& text)
{
    std::string quoted(1, '"');
    quoted += BackslashEscaped(text, {{'\\', '\\'}, {'"', '"'}, {'\n', 'n'}, {'\r', 'r'}});
    quoted += '"';
    return quoted;
}

// Reads one quoted text at pos; advances pos past it.
std::optional<std::string> unescape(const std::string& line, std::size_t& pos)
{
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < line.size()) {
            char n = line[++pos];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

Store parse(const std::string& text)
{
    Store store;
    Key* current = nullptr;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            std::string path = line.substr(1, line.size() - 2);
            current = &store.try_emplace(FoldCase(path), Key{path, {}}).first->second;
        } else if (current && !line.empty() && (line[0] == '@' || line[0] == '"')) {
            std::size_t pos = 0;
            std::string name;
            if (line[0] == '@') {
                pos = 1;
            } else if (auto n = unescape(line, pos)) {
                name = *n;
            } else {
                continue;
            }
            if (pos >= line.size() || line[pos] != '=')
                continue;
            ++pos;
            if (auto value = unescape(line, pos))
                current->values.emplace_back(name, *value);
        }
    }
    return store;
}

std::string serialize(const Store& store)
{
    std::string out = "; Orvella registry\n";
    for (const auto& [folded, key] : store) {
        out += "[" + key.path + "]\n";
        for (const auto& [name, value] : key.values)
            out += (name.empty() ? std::string("@") : escape(name)) + "=" + escape(value) + "\n";
    }
    return out;
}

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Holds the store's lock file locked for one operation.
class StoreLock {
  public:
    StoreLock(const std::string& storePath, bool exclusive)
    {
        EnsureFolder(folderOf(storePath));
        fd_ = ::open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
    }
    ~StoreLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

  private:
    int fd_ = -1;
};

Store load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

bool isReadOnly(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

// The store holds the user's associations: new files are the user's alone.
// The preferences write them again at any time, so a write does not wait for
// the disk.
bool save(const std::string& path, const Store& store)
{
    return WriteFileAtomically(path, serialize(store), 0600, DiskFlush::Skip);
}

// The store read under its lock and kept for a batch of changes.
struct LockedStore {
    explicit LockedStore(const std::string& storePath)
        : lock(storePath, true), readOnly(isReadOnly(storePath)), store(load(storePath)), before(store)
    {
    }
    StoreLock lock;
    bool readOnly;
    Store store;
    Store before;
};

// Writing what is already there (the first-run flag at every start) leaves
// the file alone: a replace-by-rename costs a disk flush.
bool saveChanged(const std::string& storePath, const LockedStore& locked)
{
    return locked.store == locked.before || save(storePath, locked.store);
}

// held: the batch's store, when one is open.
template <typename Change> bool modify(const std::string& storePath, LockedStore* held, Change change)
{
    if (held)
        return !held->readOnly && change(held->store);
    LockedStore locked(storePath);
    return !locked.readOnly && change(locked.store) && saveChanged(storePath, locked);
}

template <typename Read> auto inspect(const std::string& storePath, const LockedStore* held, Read read)
{
    if (held)
        return read(held->store);
    StoreLock lock(storePath, false);
    const Store store = load(storePath);
    return read(store);
}

// Creates the key and its parents; returns it.
Key& ensureKey(Store& store, const std::string& path)
{
    std::size_t pos = 0;
    for (;;) {
        pos = path.find('\\', pos + 1);
        std::string partial = path.substr(0, pos);
        store.try_emplace(FoldCase(partial), Key{partial, {}});
        if (pos == std::string::npos)
            return store.at(FoldCase(path));
    }
}

template <typename KeyType> auto findValue(KeyType& key, const std::string& name)
{
    std::string folded = FoldCase(name);
    auto it = key.values.begin();
    while (it != key.values.end() && FoldCase(it->first) != folded)
        ++it;
    return it;
}

} // namespace

std::string DefaultRegistryPath()
{
    if (const char* path = std::getenv("ORVELLA_REGISTRY"); path && *path)
        return path;
    return ProgramConfigFolder() + "registry";
}

struct Registry::HeldStore : LockedStore {
    using LockedStore::LockedStore;
};

Registry::Registry(std::string storePath) : path_(std::move(storePath))
{
}

Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;

Registry::Batch::Batch(Registry& registry)
{
    if (registry.held_)
        return;
    registry.held_ = std::make_unique<HeldStore>(registry.path_);
    registry_ = &registry;
}

Registry::Batch::~Batch()
{
    commit();
}

bool Registry::Batch::commit()
{
    if (!registry_)
        return true;
    const std::unique_ptr<HeldStore> held = std::move(registry_->held_);
    const std::string& storePath = registry_->path_;
    registry_ = nullptr;
    // The lock goes with the held store, once the file is written.
    return saveChanged(storePath, *held);
}

bool Registry::createKey(RegistryRoot root, const std::string& key)
{
    std::string path = fullPath(root, key);
    if (path.empty())
        return false;
    return modify(path_, held_.get(), [&](Store& store) {
        ensureKey(store, path);
        return true;
    });
}

bool Registry::keyExists(RegistryRoot root, const std::string& key) const
{
    std::string path = fullPath(root, key);
    return !path.empty() &&
           inspect(path_, held_.get(), [&](const Store& store) { return store.count(FoldCase(path)) > 0; });
}

std::optional<std::string> Registry::readString(RegistryRoot root, const std::string& key,
                                                const std::string& name) const
{
    std::string path = fullPath(root, key);
    return inspect(path_, held_.get(), [&](const Store& store) -> std::optional<std::string> {
        auto it = store.find(FoldCase(path));
        if (path.empty() || it == store.end())
            return std::nullopt;
        auto value = findValue(it->second, name);
        if (value == it->second.values.end())
            return std::nullopt;
        return value->second;
    });
}

bool Registry::writeString(RegistryRoot root, const std::string& key, const std::string& name, const std::string& value)
{
    std::string path = fullPath(root, key);
    if (path.empty())
        return false;
    return modify(path_, held_.get(), [&](Store& store) {
        Key& k = ensureKey(store, path);
        auto it = findValue(k, name);
        if (it == k.values.end())
            k.values.emplace_back(name, value);
        else
            it->second = value;
        return true;
    });
}

bool Registry::deleteValue(RegistryRoot root, const std::string& key, const std::string& name)
{
    std::string path = fullPath(root, key);
    return modify(path_, held_.get(), [&](Store& store) {
        auto it = store.find(FoldCase(path));
        if (path.empty() || it == store.end())
            return false;
        auto value = findValue(it->second, name);
        if (value == it->second.values.end())
            return false;
        it->second.values.erase(value);
        return true;
    });
}

bool Registry::deleteKey(RegistryRoot root, const std::string& key)
{
    std::string path = fullPath(root, key);
    if (path.empty() || path == rootName(root))
        return false;
    return modify(path_, held_.get(), [&](Store& store) {
        std::string folded = FoldCase(path);
        if (store.erase(folded) == 0)
            return false;
        std::string below = folded + "\\";
        for (auto it = store.lower_bound(below); it != store.end() && it->first.starts_with(below);)
            it = store.erase(it);
        return true;
    });
}

std::vector<std::string> Registry::subKeys(RegistryRoot root, const std::string& key) const
{
    std::string path = fullPath(root, key);
    return inspect(path_, held_.get(), [&](const Store& store) {
        std::vector<std::string> names;
        std::string below = FoldCase(path) + "\\";
        for (auto it = store.lower_bound(below); it != store.end() && it->first.starts_with(below); ++it)
            if (it->first.find('\\', below.size()) == std::string::npos)
                names.push_back(it->second.path.substr(below.size()));
        return names;
    });
}

std::vector<std::pair<std::string, std::string>> Registry::values(RegistryRoot root, const std::string& key) const
{
    std::string path = fullPath(root, key);
    return inspect(path_, held_.get(), [&](const Store& store) {
        auto it = store.find(FoldCase(path));
        return it == store.end() ? std::vector<std::pair<std::string, std::string>>{} : it->second.values;
    });
}

} // namespace platform
