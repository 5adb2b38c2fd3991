# nlohmann-json and CLI11 in a cross build. Both are headers only, so the host's packages serve any
# target, but their CMake configs would put the host's whole include directory (and with it the
# host's C library headers) on the target's path. Instead each library's own header folder is
# linked (a symbolic link, no copy) into a directory of the build that holds nothing else, and
# that directory is the include path of a target with the usual name.
set(velta_host_headers ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${velta_host_headers})

# velta_host_header_library(<target> <folder> <a header inside it>)
function(velta_host_header_library target folder header)
  find_path(velta_${folder}_parent ${folder}/${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(CREATE_LINK ${velta_${folder}_parent}/${folder} ${velta_host_headers}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  # SYSTEM: their warnings are theirs, not the project's.
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
                                             ${velta_host_headers}
                                             INTERFACE_INCLUDE_DIRECTORIES ${velta_host_headers})
endfunction()

velta_host_header_library(nlohmann_json::nlohmann_json nlohmann json.hpp)
velta_host_header_library(CLI11::CLI11 CLI CLI.hpp)
