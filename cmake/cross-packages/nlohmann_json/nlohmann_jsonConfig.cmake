include(${CMAKE_CURRENT_LIST_DIR}/../../CrossHeaderPackage.cmake)
nj_cross_header_package(nlohmann_json::nlohmann_json nlohmann)
