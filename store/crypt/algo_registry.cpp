#include "store/crypt/algo_registry.h"

#include "store/crypt/block_ciphers.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace store {

namespace {

template <typename Factory> struct Entry {
    std::string name;
    std::string className;
    Factory factory;
};

struct Registry {
    std::mutex mutex;
    std::vector<Entry<CompAlgoFactory>> compression;
    std::vector<Entry<EncAlgoFactory>> encryption;
};

template <typename Factory>
void registerEntry(std::vector<Entry<Factory>>& entries, const std::string& name,
                   const std::string& className, Factory factory) {
    // A class registered again takes its new name; a name taken by another class is handed
    // over, so a lookup never finds two candidates.
    std::erase_if(entries, [&](const Entry<Factory>& e) {
        return e.className == className || sameAlgorithmName(e.name, name);
    });
    entries.push_back({name, className, std::move(factory)});
}

template <typename Factory>
const Factory* findEntry(const std::vector<Entry<Factory>>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (sameAlgorithmName(e.name, name)) return &e.factory;
    return nullptr;
}

void fillStandard(Registry& r) {
    registerEntry<CompAlgoFactory>(r.compression, "ZIP", TCompAlgo_Zip::kClassName,
                                   [] { return std::make_unique<TCompAlgo_Zip>(); });
    registerEntry<EncAlgoFactory>(r.encryption, "Blowfish", TEncAlgo_Blowfish::kClassName,
                                  [] { return std::make_unique<TEncAlgo_Blowfish>(); });
    registerEntry<EncAlgoFactory>(r.encryption, "Twofish", TEncAlgo_Twofish::kClassName,
                                  [] { return std::make_unique<TEncAlgo_Twofish>(); });
    registerEntry<EncAlgoFactory>(r.encryption, "Gost", TEncAlgo_Gost::kClassName,
                                  [] { return std::make_unique<TEncAlgo_Gost>(); });
}

Registry& registry() {
    static Registry* instance = [] {
        auto* r = new Registry;
        fillStandard(*r);
        return r;
    }();
    return *instance;
}

template <typename Factory>
std::vector<std::string> namesOf(const std::vector<Entry<Factory>>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    return names;
}

} // namespace

bool sameAlgorithmName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

void registerCompressionAlgorithm(const std::string& name, const std::string& className,
                                  CompAlgoFactory factory) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    registerEntry(r.compression, name, className, std::move(factory));
}

void registerEncryptionAlgorithm(const std::string& name, const std::string& className,
                                 EncAlgoFactory factory) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    registerEntry(r.encryption, name, className, std::move(factory));
}

void registerStandardAlgorithms() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    fillStandard(r);
}

std::unique_ptr<TCompAlgo> createCompressionAlgorithm(const std::string& name) {
    Registry& r = registry();
    CompAlgoFactory factory;
    {
        std::lock_guard lock(r.mutex);
        const CompAlgoFactory* found = findEntry(r.compression, name);
        if (!found) return nullptr;
        factory = *found;
    }
    return factory();
}

std::unique_ptr<TEncAlgo> createEncryptionAlgorithm(const std::string& name) {
    Registry& r = registry();
    EncAlgoFactory factory;
    {
        std::lock_guard lock(r.mutex);
        const EncAlgoFactory* found = findEntry(r.encryption, name);
        if (!found) return nullptr;
        factory = *found;
    }
    return factory();
}

std::vector<std::string> compressionAlgorithmNames() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return namesOf(r.compression);
}

std::vector<std::string> encryptionAlgorithmNames() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return namesOf(r.encryption);
}

} // namespace store
