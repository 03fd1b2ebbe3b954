// Module file names: which shared object holds a given address.
#pragma once

#include "platform/Types.h"

#include <string>

namespace platform {

// Full path of the shared object (or executable) that contains address, as
// the dynamic loader reports it made absolute (its folder canonical, its file
// name as loaded, a symbolic link not followed); empty when unknown.
std::string moduleFileName(const void* address);

// Handle (load base) of the module that contains address.
HINSTANCE moduleHandle(const void* address);

// Full path of the module with this handle; empty when unknown.
std::string moduleFileNameOf(HINSTANCE module);

}  // namespace platform
