// Password protection of Office Open XML packages as Word writes it: the
// package is encrypted with agile encryption (AES-256-CBC in 4096-byte
// segments, a SHA-512 key derivation over 100000 spins, an HMAC-SHA-512 of
// the encrypted data) and stored with its EncryptionInfo in a compound file,
// so that Word and other readers ask for the password before opening it.
#pragma once

#include <string>

// The compound file holding `package` (the bytes of a .docx zip) encrypted
// with `password` (UTF-16). Empty when the encryption fails.
std::string EncryptOfficePackage(const std::string& package, const std::u16string& password);

// The password of the engine's wide strings (UTF-32) as UTF-16; characters
// beyond the basic plane become surrogate pairs.
std::u16string PasswordUtf16(const std::wstring& password);
