# Writes OUTPUT, a C++ file holding every file under ASSETS_DIR as bytes and
# FindWebAsset to look one up by its path. Run as a build step:
#   cmake -DASSETS_DIR=... -DOUTPUT=... -P EmbedAssets.cmake
file(GLOB_RECURSE files RELATIVE ${ASSETS_DIR} ${ASSETS_DIR}/*)
list(SORT files)

set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS files)
    file(READ ${ASSETS_DIR}/${name} hex HEX)
    string(LENGTH "${hex}" digits)
    if(digits EQUAL 0)
        set(bytes "0")
        set(size 0)
    else()
        math(EXPR size "${digits} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    endif()
    get_filename_component(extension ${name} LAST_EXT)
    string(TOLOWER "${extension}" extension)
    if(extension STREQUAL ".html")
        set(type "text/html; charset=utf-8")
    elseif(extension STREQUAL ".js")
        set(type "text/javascript; charset=utf-8")
    elseif(extension STREQUAL ".css")
        set(type "text/css; charset=utf-8")
    elseif(extension STREQUAL ".json")
        set(type "application/json")
    elseif(extension STREQUAL ".png")
        set(type "image/png")
    elseif(extension STREQUAL ".svg")
        set(type "image/svg+xml")
    else()
        set(type "text/plain; charset=utf-8")
    endif()
    string(APPEND arrays "// ${name}\nconst unsigned char Asset${index}[] = {${bytes}};\n")
    string(APPEND table "    {\"/${name}\", \"${type}\", Asset${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated from app/web/assets/ by EmbedAssets.cmake; not to be edited.
#include \"web/WebAssets.h\"

#include <cstddef>

namespace kelvane {

namespace {

${arrays}
struct Entry {
    const char* Path;
    const char* ContentType;
    const unsigned char* Bytes;
    size_t Size;
};

const Entry Entries[] = {
${table}};

}  // namespace

std::optional<WebAsset> FindWebAsset(std::string_view path)
{
    for (const Entry& entry : Entries)
        if (path == entry.Path)
            return WebAsset{entry.Path, entry.ContentType,
                            std::string_view(reinterpret_cast<const char*>(entry.Bytes), entry.Size)};
    return std::nullopt;
}

}  // namespace kelvane
")
# Only a changed file is written anew, so an unchanged page compiles nothing.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
