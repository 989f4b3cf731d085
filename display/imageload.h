#pragma once
// Image files are recognised by their first bytes, never by their names.

// True when the file's first length bytes equal the signature's.
bool FileHasSignature(const unsigned char* signature, unsigned int length, const char* fileName);
