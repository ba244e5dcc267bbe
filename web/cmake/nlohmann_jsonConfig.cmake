# nlohmann/json for the browser build: the header-only library of the build
# machine, reached through a folder that holds nothing else, so that the
# compiler for the browser never sees the machine's other headers.
set(_quillan_json_root ${CMAKE_BINARY_DIR}/nlohmann-json-include)
if(NOT EXISTS ${_quillan_json_root}/nlohmann/json.hpp)
  file(MAKE_DIRECTORY ${_quillan_json_root})
  file(CREATE_LINK /usr/include/nlohmann ${_quillan_json_root}/nlohmann SYMBOLIC)
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_quillan_json_root})
endif()
