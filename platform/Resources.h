// Resources: binary blobs compiled into a module and found by (id, type), as
// the player's system finds a module's resources.
//
// A module registers its table from a static initialiser; the table must live
// as long as the module is loaded.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

inline constexpr std::string_view RT_HTML = "#23";  // the standard HTML resource type

struct Resource {
    std::uint16_t id;
    std::string_view type;     // "#23" or a custom type name such as "GIF"
    const unsigned char* data;
    std::size_t size;
};

// Registers the resources of the module that contains `anchor` (any address
// inside it). Returns true so it can initialise a static.
bool registerModuleResources(const void* anchor, const Resource* table, std::size_t count);
void unregisterModuleResources(const void* anchor);

// The bytes of resource (id, type) of module; nothing when absent.
std::optional<std::string_view> findResource(HINSTANCE module, std::uint16_t id, std::string_view type);

}  // namespace platform
