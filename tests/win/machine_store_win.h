#pragma once
// The machine's certificate stores as the Wine tests inspect and change them.
#include <string>

namespace vaq::machine_store {

// The embedded "ISRG Root X1" as bytes.
std::string RootEncoding();

std::string Sha1Thumbprint(const std::string& encoded);

// The encoding of the first certificate with this thumbprint in a machine store, or empty.
std::string Find(const wchar_t* storeName, const std::string& thumbprint);

// Adds a certificate to a machine store; closing the store is when Wine writes it out.
bool Add(const wchar_t* storeName, const std::string& encoded);

// Removes what a machine store keeps under this thumbprint. Wine 8 keeps certificates deleted
// through the store API in its registry, so the registry key goes instead.
bool Remove(const wchar_t* storeName, const std::string& thumbprint);

}  // namespace vaq::machine_store
