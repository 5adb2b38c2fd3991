# GoogleTest and GoogleMock for a cross build, compiled from the host's source package
# (/usr/src/googletest): the host's libraries are built for the host. They define the same
# GTest::gtest, GTest::gmock and GTest::gtest_main targets a native find_package(GTest) does.
set(VELTA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
if(NOT EXISTS ${VELTA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${VELTA_GOOGLETEST_SOURCE} (Debian: googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# Its code is built with its own warning flags, not the project's -Werror.
get_directory_property(velta_saved_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${VELTA_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${velta_saved_options}")
