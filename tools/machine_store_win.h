#pragma once
// The machine's certificate stores as the tests and the kit inspect and change them.
#include <string>

namespace vaq::machine_store {

// The embedded "ISRG Root X1" as bytes.
std::string RootEncoding();

std::string Sha1Thumbprint(const std::string& encoded);

// The encoding of the first certificate with this thumbprint in a machine store, or empty.
std::string Find(const wchar_t* storeName, const std::string& thumbprint);

// Adds a certificate to a machine store (replacing an equal one); closing the store is when Wine
// writes it out. On false, GetLastError tells why.
bool Add(const wchar_t* storeName, const std::string& encoded);

// Removes what a machine store keeps under this thumbprint; true when it is gone. Wine 8 keeps
// certificates deleted through the store API in its registry, so the registry key goes too.
bool Remove(const wchar_t* storeName, const std::string& thumbprint);

}  // namespace vaq::machine_store
