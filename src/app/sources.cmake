# Every .cpp of this folder joins the core; platform files only on their platform.
file(GLOB _vintrel_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
if(WIN32)
  list(FILTER _vintrel_sources EXCLUDE REGEX "_posix\\.cpp$")
else()
  list(FILTER _vintrel_sources EXCLUDE REGEX "_win32\\.cpp$")
endif()
list(APPEND VINTREL_CORE_SOURCES ${_vintrel_sources})
