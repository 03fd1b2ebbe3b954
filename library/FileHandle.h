// Owns one open file descriptor; closes it when destroyed. Movable, so an
// opened file can be handed from the library to whoever sends its bytes.
#pragma once

#include "platform/OwnedDescriptor.h"

namespace lyrebox {

using FileHandle = platform::OwnedDescriptor;

}  // namespace lyrebox
