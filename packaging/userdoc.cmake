# Writes the user guide that the package installs: the README's sections for users (what the
# terminal does, and access to the device) followed by the access guide of packaging/README.md,
# without the sections about building, testing and packaging.
#   cmake -DSOURCE_DIR=<repository> -DOUTPUT=<file> -P userdoc.cmake

# keep_sections(<text> <output> <titles...>): the text before the first "## " heading, then
# the named sections.
function(keep_sections text output)
    string(FIND "${text}" "\n## " first)
    string(SUBSTRING "${text}" 0 ${first} kept)
    foreach(title IN LISTS ARGN)
        string(FIND "${text}" "\n## ${title}\n" start)
        if(start EQUAL -1)
            message(FATAL_ERROR "the section \"${title}\" is missing")
        endif()
        math(EXPR after "${start} + 1")
        string(SUBSTRING "${text}" ${after} -1 rest)
        string(FIND "${rest}" "\n## " end)
        string(SUBSTRING "${rest}" 0 ${end} section)
        string(APPEND kept "\n${section}")
    endforeach()
    set(${output} "${kept}" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE_DIR}/README.md" readme)
keep_sections("${readme}" guide "Access to the device" "Log to File" "Timestamps" "Send File")
# The access guide follows in the same file rather than in packaging/.
string(REPLACE "See\n[packaging/README.md](packaging/README.md)." "See the access guide below."
    guide "${guide}")
string(REPLACE "[packaging/README.md](packaging/README.md)" "the access guide below"
    guide "${guide}")

file(READ "${SOURCE_DIR}/packaging/README.md" access)
string(FIND "${access}" "\n## The Debian package" end)
string(SUBSTRING "${access}" 0 ${end} access)
string(REPLACE "\n## " "\n### " access "${access}")
string(REPLACE "# Access to the device on Linux" "## Access to the device: details" access
    "${access}")

file(WRITE "${OUTPUT}" "${guide}\n${access}\n")
