#pragma once
// The process-wide registry of compression and encryption algorithms by name. Names compare
// without regard to letter case. It starts out holding the standard algorithms ("ZIP",
// "Blowfish", "Twofish", "Gost"); it is safe to use from several threads.

#include "store/crypt/comp_algo.h"
#include "store/crypt/enc_algo.h"

#include <memory>
#include <string>
#include <vector>

namespace store {

using CompAlgoFactory = std::function<std::unique_ptr<TCompAlgo>()>;
using EncAlgoFactory = std::function<std::unique_ptr<TEncAlgo>()>;

// Registers a compression algorithm class under a name. Registering a class again replaces its
// name; registering a name already taken by another class replaces that entry.
void registerCompressionAlgorithm(const std::string& name, const std::string& className,
                                  CompAlgoFactory factory);
// Registers an encryption algorithm class under a name, with the same replacement rules.
void registerEncryptionAlgorithm(const std::string& name, const std::string& className,
                                 EncAlgoFactory factory);

// Registers "ZIP", "Blowfish", "Twofish" and "Gost" with their standard classes (again).
void registerStandardAlgorithms();

// Returns a new object of the algorithm registered under the name, or nullptr when none is.
std::unique_ptr<TCompAlgo> createCompressionAlgorithm(const std::string& name);
std::unique_ptr<TEncAlgo> createEncryptionAlgorithm(const std::string& name);

// Returns the registered names in registration order.
std::vector<std::string> compressionAlgorithmNames();
std::vector<std::string> encryptionAlgorithmNames();

// Returns true when two algorithm names are equal without regard to ASCII letter case.
bool sameAlgorithmName(const std::string& a, const std::string& b);

} // namespace store
