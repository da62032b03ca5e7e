// Writing a resource of the program's own module to a file.
#pragma once

#include <string>

// Writes resource (id, type) to path, replacing what was there. A file that cannot be
// opened but exists (a copy still loaded by another running instance) counts as done.
// False when the file can be neither written nor found, when the resource is missing,
// or when the write falls short.
bool ExtractResourceToFile(const std::string& path, unsigned id, const char* type);
