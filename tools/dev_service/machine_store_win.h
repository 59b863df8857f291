#pragma once
// The machine's certificate stores as the tests and the kit inspect and change them.
#include <string>
#include <vector>

namespace vaq::machine_store {

// The embedded "ISRG Root X1" as bytes.
std::string RootEncoding();

std::string Sha1Thumbprint(const std::string& encoded);

// The encoding of the first certificate with this thumbprint in a machine store, or empty.
std::string Find(const wchar_t* storeName, const std::string& thumbprint);

// The encodings of every certificate in a machine store whose subject's common name is this.
std::vector<std::string> FindByCommonName(const wchar_t* storeName, const wchar_t* commonName);

// Whether name constraints confine the certificate's signatures to this machine: every
// permitted name is localhost or 127.0.0.1.
bool ConfinedToLocalhost(const std::string& encoded);

// Adds a certificate to a machine store (replacing an equal one); closing the store is when Wine
// writes it out. On false, GetLastError tells why.
bool Add(const wchar_t* storeName, const std::string& encoded);

// Removes what a machine store keeps under this thumbprint; true when it is gone. Wine 8 keeps
// certificates deleted through the store API in its registry, so the registry key goes too.
bool Remove(const wchar_t* storeName, const std::string& thumbprint);

}  // namespace vaq::machine_store
