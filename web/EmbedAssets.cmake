# Writes the C++ source that holds every web asset as a byte array and
# registers the table with the platform's resource registry.
#   cmake -DSOURCE_DIR=<web folder> -DOUTPUT=<file.cpp> -P EmbedAssets.cmake
include(${SOURCE_DIR}/assets.cmake)

set(arrays "")
set(rows "")
set(index 0)
list(LENGTH LYREBOX_WEB_ASSETS classicCount)
foreach(asset IN LISTS LYREBOX_WEB_ASSETS LYREBOX_REMOTE_ASSETS)
  string(REPLACE "|" ";" fields "${asset}")
  list(GET fields 0 id)
  list(GET fields 1 type)
  list(GET fields 2 file)
  file(READ "${SOURCE_DIR}/${file}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  if(hexLength EQUAL 0)
    message(FATAL_ERROR "web asset ${file} is empty")
  endif()
  # 32 bytes per line, each byte as 0xNN.
  string(REGEX REPLACE "(................................................................)" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "// ${file}\nconst unsigned char kAsset${index}[] = {\n${bytes}\n};\n\n")
  string(APPEND rows "    {${id}, \"${type}\", kAsset${index}, sizeof kAsset${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Generated from web/ by web/EmbedAssets.cmake; do not edit.
#include \"web/WebResources.h\"

#include \"platform/Resources.h\"

#include <iterator>

namespace {

${arrays}const platform::Resource kTable[] = {
${rows}};

// Registers the table of the module this code is linked into when it loads.
const bool kRegistered = platform::registerModuleResources(kTable, kTable, std::size(kTable));

}  // namespace

namespace lyrebox::web {

bool resourcesRegistered() { return kRegistered; }

std::size_t resourceCount() { return ${classicCount}; }

std::size_t remoteResourceCount() { return std::size(kTable) - ${classicCount}; }

}  // namespace lyrebox::web
")

# Rewrite only on change, so an unchanged asset set does not recompile.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
